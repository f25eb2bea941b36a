// The cost of the progress page during a run. The gauge alone: one Position change (repainted at
// once) and the paints a run of many entries makes. Then the wizard window as the run's view,
// per entry as the extraction calls it (the file label before the payload, the gauge's position
// and the pump after it), with ENTRY-US microseconds of other work in between standing for the
// extraction's own: once painting at every entry (as the window did before its paints were
// held to one per screen refresh), once as the window paints now. Prints figures.
//   gauge_bench [ENTRIES [ENTRY-US]]        (default 1024 entries, 1000 us)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "components/cool_gauge.h"
#include "setup/wizard/form_main.h"
#include "toolkit/application.h"
#include "toolkit/offscreen_bitmap.h"
#include "toolkit/panel.h"
#include "win32/handles.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

namespace {

using Clock = std::chrono::steady_clock;

void Spin(std::chrono::microseconds duration) {
  const auto end = Clock::now() + duration;
  while (Clock::now() < end) {
  }
}

struct ViewCost {
  double usPerEntry;      // in the view's calls, the other work left out
  double paintsPerEntry;  // of the gauge
};

// A run of `entries` entries through the wizard's view calls.
ViewCost RunThroughView(setup::TFormMain& form, int entries, std::chrono::microseconds entryWork) {
  const std::int32_t entrySize = 4096;
  form.SetGaugeMax(entries * (entrySize + 40));
  form.SetGaugePosition(0);
  form.SetGaugeVisible(true);
  form.Pump();
  const int paintsBefore = form.ProgressBar().PaintCount();
  Clock::duration inView{};
  for (int i = 1; i <= entries; ++i) {
    auto t0 = Clock::now();
    form.SetFileLabel(L"Файл: f" + std::to_wstring(i) + L".bin...");
    inView += Clock::now() - t0;
    Spin(entryWork);
    t0 = Clock::now();
    form.SetGaugePosition(i * entrySize);
    form.Pump();
    inView += Clock::now() - t0;
  }
  form.SetGaugeVisible(false);
  return {std::chrono::duration<double, std::micro>(inView).count() / entries,
          static_cast<double>(form.ProgressBar().PaintCount() - paintsBefore) / entries};
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 1024;
  const std::chrono::microseconds entryWork(argc > 2 ? std::atoi(argv[2]) : 1000);
  const win::Window window(CreateWindowExW(0, L"STATIC", L"gauge_bench", WS_POPUP | WS_VISIBLE, 0,
                                           0, 384, 202, nullptr, nullptr, nullptr, nullptr));
  tk::Panel page;
  page.SetBounds(0, 0, 384, 202);
  page.Create(window.get());

  // The wizard's gauge, as on its progress page.
  TCoolGauge gauge;
  gauge.SetBounds(26, 74, 333, 20);
  gauge.SetBorderStyle(tk::bsNone);
  gauge.SetForeColor1(tk::clWhite);
  gauge.SetForeColor2(0xFF8080);
  gauge.SetFont({L"Tahoma", 11, false, tk::clBlack});
  gauge.Create(page.Handle());

  // A run of `entries` payloads of 4 KiB: Max is the archive's size, Position the bytes so far.
  const std::int32_t entrySize = 4096;
  gauge.SetMax(entries * (entrySize + 40));
  const int paintsBefore = gauge.PaintCount();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= entries; ++i) gauge.SetPosition(i * entrySize);
  const auto took = std::chrono::steady_clock::now() - start;
  const int paints = gauge.PaintCount() - paintsBefore;
  const double us = std::chrono::duration<double, std::micro>(took).count();
  // The same paint into memory: what composing the image costs without the screen.
  tk::OffscreenBitmap image(333, 20);
  const auto memoryStart = std::chrono::steady_clock::now();
  for (int i = 1; i <= entries; ++i) gauge.PaintTo(image.Dc());
  const double memoryUs =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - memoryStart)
          .count();
  std::printf(
      "gauge_bench: %d Position changes, %d paints (%.2f per change), %.1f us per change "
      "on screen, %.1f us per paint into memory, %d ramp builds\n",
      entries, paints, static_cast<double>(paints) / entries, us / entries, memoryUs / entries,
      gauge.CacheBuildCount());

  // The wizard window on its Progress page, as a run shows it.
  tk::Application app(tk::Application::Com::kNotNeeded);
  setup::TFormMain form;
  app.SetMainWindow(form.Handle());
  form.Show();
  form.RunBegins();
  const ViewCost held = RunThroughView(form, entries, entryWork);  // the window's own clock
  // Every reading of this clock is 16 ms after the one before: every entry paints.
  std::chrono::microseconds ticking{0};
  form.UsePaintClock([&ticking] { return ticking += base::PaintThrottle::kInterval; });
  const ViewCost every = RunThroughView(form, entries, entryWork);
  std::printf(
      "gauge_bench: the wizard's view per entry (label, gauge, pump; entries %lld us apart): "
      "painted at every entry %.1f us (%.2f gauge paints per entry), at most once per %lld ms "
      "%.1f us (%.2f)\n",
      static_cast<long long>(entryWork.count()), every.usPerEntry, every.paintsPerEntry,
      static_cast<long long>(base::PaintThrottle::kInterval.count()), held.usPerEntry,
      held.paintsPerEntry);
  return 0;
}

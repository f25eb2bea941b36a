// The cost of the gauge during a run: one Position change (repainted at once, as the extraction
// does after every entry) and the paints a run of many entries makes. Prints figures.
//   gauge_bench [ENTRIES]        (default 1024)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "components/cool_gauge.h"
#include "toolkit/offscreen_bitmap.h"
#include "toolkit/panel.h"
#include "win32/handles.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 1024;
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
  return 0;
}

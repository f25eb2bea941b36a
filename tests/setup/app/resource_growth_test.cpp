// Many runs of the components and dialogs in one process leave no handle, GDI object or memory
// behind. Handles are counted by the project's owner types (GetGuiResources and
// GetProcessHandleCount answer 0 under Wine), memory by GetProcessMemoryInfo.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include "components/cool_gauge.h"
#include "components/oskel_label.h"
#include "base/ui/dialogs/dialogs.h"
#include "toolkit/application.h"
#include "toolkit/panel.h"
#include "win32/handles.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

namespace {

struct LiveHandles {
  long bitmaps = win::Bitmap::Live(), memoryDcs = win::MemoryDc::Live(),
       windowDcs = win::WindowDc::Live(), fonts = win::Font::Live(), brushes = win::Brush::Live(),
       pens = win::Pen::Live(), regions = win::Region::Live(), windows = win::Window::Live(),
       files = win::FileHandle::Live(), keys = win::RegKey::Live(),
       kernel = win::KernelHandle::Live(), memory = win::GlobalMemory::Live();
  bool operator==(const LiveHandles&) const = default;
};

std::size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

// One life of the wizard's two components: created on a panel, painted through a run of
// positions and a few style changes, destroyed.
void ComponentsLife(HWND host) {
  tk::Panel page;
  page.SetBounds(0, 0, 384, 202);
  page.Create(host);
  TOskelLabel label;
  label.SetBounds(28, 26, 297, 25);
  label.SetCaption("Среда Fendaro Korvu ®");
  label.SetTextStyle(tsBorder);
  label.SetBorderWidth(2);
  label.SetParent(&page);
  TCoolGauge gauge;
  gauge.SetBounds(26, 74, 333, 20);
  gauge.Create(page.Handle());
  gauge.SetMax(1000);
  for (int position = 0; position <= 1000; position += 50) gauge.SetPosition(position);
  gauge.SetStyle(sSolid);
  gauge.SetForeColor1(tk::clBtnFace);
  UpdateWindow(page.Handle());
  label.SetParent(nullptr);
}

TEST(ResourceGrowth, ComponentsAndDialogsReleaseEverythingTheyTake) {
  tk::Application app;
  const win::Window host(CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                                         220, nullptr, nullptr, nullptr, nullptr));
  ComponentsLife(host.get());  // the first life may fill caches that stay (fonts, classes)
  const LiveHandles before;
  const std::size_t memoryBefore = PrivateBytes();
  for (int i = 0; i < 200; ++i) ComponentsLife(host.get());
  EXPECT_TRUE(LiveHandles() == before) << "an owner type holds more handles than before";
  EXPECT_LT(PrivateBytes(), memoryBefore + 2 * 1024 * 1024)
      << "memory grew by " << PrivateBytes() - memoryBefore;

  // The question dialog, built and torn down while the application is ending (it answers at
  // once then, so nobody has to press a button).
  PostQuitMessage(0);
  app.ProcessMessages();
  ASSERT_TRUE(app.Terminated());
  EXPECT_EQ(base::ConfirmDialog(L"Прервать установку программы?", base::kOkCancel), 2);
  const LiveHandles beforeDialogs;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(base::ConfirmDialog(L"Ошибка записи файла: \"C:\\x\".", base::kAbortRetryIgnore),
              2);
  }
  EXPECT_TRUE(LiveHandles() == beforeDialogs) << "a dialog left a handle behind";
}

}  // namespace

// The wizard window at 144 pixels per inch. This program is its own wrapper: started plainly, it
// sets the current user's LogPixels to 144 (Wine reads it when a process starts), runs itself
// again to test, and puts the value back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "setup/wizard/wizard_fixture.h"
#include "support/registry_value_guard.h"

namespace {

constexpr char kChildFlag[] = "--at-144-dpi";

using testing_support::FontOf;
using testing_support::RectInParent;
using Page = setup::TFormMain::Page;

int TextHeightOfTahoma(int characterHeight) {
  const win::Font font(CreateFontW(-characterHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                                   0, 0, 0, 0, L"Tahoma"));
  const win::WindowDc screen(nullptr);
  const win::SelectGuard selected(screen.get(), font.get());
  SIZE size{};
  GetTextExtentPoint32W(screen.get(), L"0", 1, &size);
  return size.cy;
}

class WizardAt144 : public testing_support::WizardTest {
 protected:
  void ExpectRect(HWND window, int left, int top, int width, int height) {
    const RECT r = RectInParent(window);
    EXPECT_EQ(r.left, S(left));
    EXPECT_EQ(r.top, S(top));
    EXPECT_EQ(r.right - r.left, S(width));
    EXPECT_EQ(r.bottom - r.top, S(height));
  }
  int S(int value) const { return MulDiv(value, textHeight, 13); }
  const int textHeight = TextHeightOfTahoma(17);
};

TEST_F(WizardAt144, FontAndLayoutFollowTheMeasuredTextHeight) {
  const win::WindowDc screen(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen.get(), LOGPIXELSY), 144);
  std::printf("Tahoma 17 px: text height %d\n", textHeight);
  EXPECT_EQ(form->Scale().windowFontHeight, 17);  // 11 * 144 / 96, rounded as MulDiv does
  EXPECT_EQ(form->Scale().multiplier, textHeight);
  EXPECT_EQ(form->Scale().divisor, 13);

  RECT client;
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(client.right, S(384));
  EXPECT_EQ(client.bottom, S(283));
  const auto& c = C();
  EXPECT_EQ(FontOf(c.BNextWellcome).lfHeight, -17);
  EXPECT_EQ(FontOf(c.Label1).lfHeight, -17);
  EXPECT_EQ(FontOf(c.Label10).lfHeight, -S(11));  // a font of its own: scaled by the ratio
  EXPECT_EQ(form->LabelPrompt().Font().height, S(21));
  EXPECT_EQ(form->ProgressBar().Font().height, S(11));

  const RECT notebook = RectInParent(form->Notebook1().Handle());
  EXPECT_EQ(notebook.top, S(81));
  EXPECT_EQ(notebook.bottom, S(283));
  ExpectRect(c.BNextWellcome, 196, 168, 75, 25);
  ExpectRect(c.BCancelWellcome, 280, 168, 75, 25);
  ExpectRect(c.EInstallPath, 40, 74, 301, 21);
  ExpectRect(form->BBrowsePath().Handle(), 344, 72, 23, 22);
  ExpectRect(c.LabelFileName, 28, 56, 333, 13);
  ExpectRect(form->ProgressBar().Handle(), 26, 74, 333, 20);
  EXPECT_EQ(form->LabelPrompt().Left(), S(28));
  EXPECT_EQ(form->LabelPrompt().Width(), S(297));
  const RECT label1 = RectInParent(c.Label1);
  EXPECT_EQ(label1.left, S(282));
  EXPECT_EQ(label1.top, S(62));

  testing_support::SaveScreenshot(form->Handle(), "screenshots\\dpi144-page0-wellcome.bmp");
  Key(VK_RETURN);
  EXPECT_EQ(form->PageIndex(), Page::kSettings);
  EXPECT_EQ(GetFocus(), c.EInstallPath);
  testing_support::SaveScreenshot(form->Handle(), "screenshots\\dpi144-page1-settings.bmp");
}

// Runs this program again with LogPixels 144 and gives back its exit code.
int RunAt144(int argc, char** argv) {
  testing_support::RegistryValueGuard logPixels(HKEY_CURRENT_USER, "Control Panel\\Desktop",
                                                "LogPixels");
  const DWORD dpi = 144;
  logPixels.Set(REG_DWORD, &dpi, sizeof dpi);
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" " + kChildFlag;
  for (int i = 1; i < argc; ++i) command += std::string(" \"") + argv[i] + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "cannot start the test at 144 dpi (error %lu)\n", GetLastError());
    return 1;
  }
  const win::KernelHandle processHandle(process.hProcess), thread(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != kChildFlag) return RunAt144(argc, argv);
  SetProcessDPIAware();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

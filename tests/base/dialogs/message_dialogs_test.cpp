// The question dialog and the error box, driven for real: a second thread waits for the window,
// looks at it and answers it with SendInput keys and clicks while base::ConfirmDialog blocks this one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "support/ui_driver.h"
#include "base/ui/dialogs/confirm_dialog.h"
#include "base/ui/dialogs/dialogs.h"
#include "toolkit/application.h"
#include "win32/handles.h"

namespace setup {
namespace {

constexpr wchar_t kCancelQuestion[] = L"Прервать установку программы?";
constexpr wchar_t kWriteError[] = L"Ошибка записи файла: \"C:\\Ostelan\\A&B.dll\".";

// The dialog's numbers worked out here from the message font, as the dialog must lay itself out.
struct ExpectedLayout {
  RECT text{};
  std::vector<RECT> buttons;
  SIZE client{};
};

ExpectedLayout Expect(const std::wstring& text, const std::vector<std::wstring>& captions) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  win::Font font(CreateFontIndirectW(&metrics.lfMessageFont));
  win::WindowDc screen(nullptr);
  win::SelectGuard select(screen.get(), font.get());
  SIZE letters{};
  GetTextExtentPoint32W(screen.get(), L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                        &letters);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen.get(), &tm);
  const int x = letters.cx / 52, y = tm.tmHeight;
  RECT measured{0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
  DrawTextW(screen.get(), text.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);

  const int hm = MulDiv(8, x, 4), vm = MulDiv(8, y, 8), iconGap = MulDiv(10, x, 4);
  const int textGap = MulDiv(10, y, 8), bh = MulDiv(14, y, 8), gap = MulDiv(4, x, 4);
  int bw = MulDiv(50, x, 4);
  for (const auto& caption : captions) {
    RECT r{};
    DrawTextW(screen.get(), caption.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    bw = std::max<int>(bw, r.right + 8);
  }
  const int n = static_cast<int>(captions.size());
  const int row = n * bw + (n - 1) * gap;
  const int iconTextHeight = std::max<int>(measured.bottom, 32);
  ExpectedLayout layout;
  layout.text = {hm + 32 + iconGap, vm, hm + 32 + iconGap + measured.right, vm + measured.bottom};
  layout.client = {std::max<int>(measured.right + 32 + iconGap, row) + 2 * hm,
                   iconTextHeight + bh + textGap + 2 * vm};
  for (int i = 0, left = (layout.client.cx - row) / 2; i < n; ++i, left += bw + gap)
    layout.buttons.push_back(
        {left, iconTextHeight + vm + textGap, left + bw, iconTextHeight + vm + textGap + bh});
  return layout;
}

void ExpectRect(const RECT& expected, const RECT& actual, const char* what) {
  EXPECT_EQ(expected.left, actual.left) << what;
  EXPECT_EQ(expected.top, actual.top) << what;
  EXPECT_EQ(expected.right, actual.right) << what;
  EXPECT_EQ(expected.bottom, actual.bottom) << what;
}

void ExpectLaidOut(HWND dialog, const std::wstring& text,
                   const std::vector<std::wstring>& captions) {
  const ExpectedLayout expected = Expect(text, captions);
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(expected.client.cx, client.right);
  EXPECT_EQ(expected.client.cy, client.bottom);
  const auto labels = ui::Children(dialog, L"Static");
  ASSERT_EQ(1u, labels.size());
  EXPECT_EQ(text, ui::TextOf(labels[0]));
  ExpectRect(expected.text, ui::RectInParent(labels[0]), "text");
  const auto buttons = ui::Children(dialog, L"Button");
  ASSERT_EQ(captions.size(), buttons.size());
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    EXPECT_EQ(captions[i], ui::TextOf(buttons[i]));
    ExpectRect(expected.buttons[i], ui::RectInParent(buttons[i]), "button");
  }
  // Centred on the screen.
  RECT frame;
  GetWindowRect(dialog, &frame);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2, frame.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2, frame.top);
}

// Whether the question-mark icon has been painted at its place (left and top margin).
bool IconPainted(HWND dialog) {
  const auto labels = ui::Children(dialog, L"Static");
  if (labels.empty()) return false;
  const RECT text = ui::RectInParent(labels[0]);
  win::WindowDc dc(dialog);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  int painted = 0;
  for (int y = text.top; y < text.top + 32; y += 2)
    for (int x = text.left - 60; x < text.left; x += 2)
      if (x >= 0 && GetPixel(dc.get(), x, y) != face) ++painted;
  return painted > 20;
}

// Saves a screenshot into artifacts/ of the test's working folder, for a person to look at.
void SaveArtifact(HWND window, const char* name) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  CreateDirectoryW(L"artifacts", nullptr);
  EXPECT_TRUE(ui::SaveScreenshot(window, std::string("artifacts/") + name));
}

class ConfirmDialogTest : public ::testing::Test {
 protected:
  // Asks on this thread while `drive` runs on another once the dialog is on screen. A dialog
  // still open three seconds after `drive` has returned fails the test and is closed.
  int Ask(const std::wstring& text, base::ButtonSet buttons, const std::function<void(HWND)>& drive) {
    std::thread driver([&] {
      const HWND dialog = ui::WaitForWindow(base::kConfirmDialogClass, nullptr);
      if (!dialog) return ADD_FAILURE() << "the dialog did not show";
      // Input sent before the dialog has the focus would go elsewhere.
      if (!ui::WaitUntil([&] { return GetParent(ui::FocusOf(thread_)) == dialog; }))
        ADD_FAILURE() << "the focus is not in the dialog";
      drive(dialog);
      if (!ui::WaitUntil([&] { return !IsWindow(dialog); }, 3000)) {
        ADD_FAILURE() << "the dialog is still open";
        PostMessageW(dialog, WM_CLOSE, 0, 0);
      }
    });
    const int answer = base::ConfirmDialog(text, buttons);
    driver.join();
    return answer;
  }

  // Waits until the focus is on `window`.
  bool FocusReaches(HWND window) {
    return ui::WaitUntil([&] { return ui::FocusOf(thread_) == window; }, 3000);
  }

  tk::Application app_;
  const DWORD thread_ = GetCurrentThreadId();
};

TEST_F(ConfirmDialogTest, CancelQuestionIsLaidOutFromTheMessageFontAndEnterAnswersOk) {
  const int answer = Ask(kCancelQuestion, base::kOkCancel, [&](HWND dialog) {
    EXPECT_EQ(L"Подтверждение", ui::TextOf(dialog));
    const LONG style = GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    ExpectLaidOut(dialog, kCancelQuestion, {L"OK", L"Отмена"});
    const auto buttons = ui::Children(dialog, L"Button");
    EXPECT_TRUE(FocusReaches(buttons[0]));
    EXPECT_TRUE(ui::WaitUntil([&] { return IconPainted(dialog); }));
    SaveArtifact(dialog, "confirm_ok_cancel.bmp");
    ui::Chord({VK_RETURN});
  });
  EXPECT_EQ(1, answer);
}

TEST_F(ConfirmDialogTest, TabShiftTabAndArrowsWrapAlongTheRowAndSpacePresses) {
  const int answer = Ask(kCancelQuestion, base::kOkCancel, [&](HWND dialog) {
    const auto b = ui::Children(dialog, L"Button");
    ASSERT_TRUE(FocusReaches(b[0]));
    ui::Chord({VK_TAB});
    EXPECT_TRUE(FocusReaches(b[1]));
    ui::Chord({VK_TAB});
    EXPECT_TRUE(FocusReaches(b[0]));
    ui::Chord({VK_SHIFT, VK_TAB});
    EXPECT_TRUE(FocusReaches(b[1]));
    ui::Chord({VK_RIGHT});
    EXPECT_TRUE(FocusReaches(b[0]));
    ui::Chord({VK_LEFT});
    EXPECT_TRUE(FocusReaches(b[1]));
    ui::Chord({VK_DOWN});
    EXPECT_TRUE(FocusReaches(b[0]));
    ui::Chord({VK_UP});
    EXPECT_TRUE(FocusReaches(b[1]));
    ui::Chord({VK_UP});
    EXPECT_TRUE(FocusReaches(b[0]));
    ui::Chord({VK_SPACE});
  });
  EXPECT_EQ(1, answer);
}

TEST_F(ConfirmDialogTest, EscAndTheCancelButtonAnswerTwo) {
  EXPECT_EQ(2, Ask(kCancelQuestion, base::kOkCancel, [&](HWND dialog) {
              ASSERT_TRUE(FocusReaches(ui::Children(dialog, L"Button")[0]));
              ui::Chord({VK_ESCAPE});
            }));
  EXPECT_EQ(2, Ask(kCancelQuestion, base::kOkCancel,
                   [&](HWND dialog) { ui::ClickCentre(ui::Children(dialog, L"Button")[1]); }));
}

TEST_F(ConfirmDialogTest, WriteErrorQuestionShowsThreeButtonsAndIgnoresEsc) {
  const int answer = Ask(kWriteError, base::kAbortRetryIgnore, [&](HWND dialog) {
    ExpectLaidOut(dialog, kWriteError, {L"&Отказ", L"&Повтор", L"&Игнор"});
    const auto buttons = ui::Children(dialog, L"Button");
    EXPECT_TRUE(FocusReaches(buttons[0]));
    EXPECT_TRUE(ui::WaitUntil([&] { return IconPainted(dialog); }));
    SaveArtifact(dialog, "confirm_abort_retry_ignore.bmp");
    ui::Chord({VK_ESCAPE});
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "Esc closed a dialog without a Cancel button";
    EXPECT_EQ(buttons[0], ui::FocusOf(thread_));
    ui::Chord({VK_RETURN});
  });
  EXPECT_EQ(3, answer);
}

TEST_F(ConfirmDialogTest, AccessKeysWithAndWithoutAltAndClicks) {
  EXPECT_EQ(4, Ask(kWriteError, base::kAbortRetryIgnore, [&](HWND) { ui::TypeCharacter(L'п'); }));
  // Alt is really held; the letter itself is posted, because Wine garbles the character of a
  // layout-independent key typed with Alt (it adds the Alt flag's bit 0x2000 to it), and the
  // virtual display's keyboard layout has no Cyrillic letters.
  EXPECT_EQ(5, Ask(kWriteError, base::kAbortRetryIgnore, [&](HWND) {
              ui::SendKey(VK_MENU, false);
              ASSERT_TRUE(ui::WaitUntil([] { return GetAsyncKeyState(VK_MENU) < 0; }));
              PostMessageW(ui::FocusOf(thread_), WM_SYSCHAR, L'и', 0x20000001);
              ui::WaitUntil([] { return !FindWindowW(base::kConfirmDialogClass, nullptr); });
              ui::SendKey(VK_MENU, true);
            }));
  EXPECT_EQ(3, Ask(kWriteError, base::kAbortRetryIgnore, [&](HWND dialog) {
              const auto buttons = ui::Children(dialog, L"Button");
              ui::Chord({VK_TAB});  // away from "Отказ", so that the key must find it
              ASSERT_TRUE(FocusReaches(buttons[1]));
              ui::TypeCharacter(L'О');
            }));
  EXPECT_EQ(5, Ask(kWriteError, base::kAbortRetryIgnore,
                   [&](HWND dialog) { ui::ClickCentre(ui::Children(dialog, L"Button")[2]); }));
}

TEST_F(ConfirmDialogTest, ClosingAnswersTwo) {
  EXPECT_EQ(2, Ask(kWriteError, base::kAbortRetryIgnore,
                   [&](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }));
}

TEST_F(ConfirmDialogTest, CtrlCCopiesTheDialogAsText) {
  const int answer = Ask(kWriteError, base::kAbortRetryIgnore, [&](HWND dialog) {
    ASSERT_TRUE(FocusReaches(ui::Children(dialog, L"Button")[0]));
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
    ui::Chord({VK_CONTROL, 'C'});
    const std::wstring rule = L"---------------------------\r\n";
    const std::wstring expected = rule + L"Подтверждение\r\n" + rule + kWriteError + L"\r\n" +
                                  rule + L"Отказ   Повтор   Игнор   \r\n" + rule;
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::ClipboardText() == expected; }))
        << "clipboard: " << testing::PrintToString(ui::ClipboardText());
    EXPECT_TRUE(IsWindow(dialog));
    ui::Chord({VK_RETURN});
  });
  EXPECT_EQ(3, answer);
}

TEST_F(ConfirmDialogTest, LongTextWrapsAtHalfTheScreenAndTheDialogGrows) {
  std::wstring text = L"Ошибка записи файла:\t\"";
  for (int i = 0; i < 12; ++i) text += L"C:\\Program Files\\Ostelan\\Korvu\\Очень длинная папка ";
  text += L"&& файл.dll\".";
  const int answer = Ask(text, base::kOkCancel, [&](HWND dialog) {
    ExpectLaidOut(dialog, text, {L"OK", L"Отмена"});
    const RECT label = ui::RectInParent(ui::Children(dialog, L"Static")[0]);
    EXPECT_LE(label.right - label.left, GetSystemMetrics(SM_CXSCREEN) / 2);
    EXPECT_GT(label.bottom - label.top, 3 * 13) << "the text did not wrap";
    ui::Chord({VK_ESCAPE});
  });
  EXPECT_EQ(2, answer);
}

TEST_F(ConfirmDialogTest, OtherWindowsAreDisabledMeanwhileAndTheActiveOneComesBack) {
  const auto window = [](DWORD style) {
    return CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | style, 10, 10, 200, 100,
                           nullptr, nullptr, nullptr, nullptr);
  };
  const HWND active = window(WS_VISIBLE), other = window(WS_VISIBLE);
  const HWND disabled = window(WS_VISIBLE | WS_DISABLED), hidden = window(0);
  const HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, active,
                                    nullptr, nullptr, nullptr);
  SetActiveWindow(active);
  SetFocus(edit);
  ASSERT_EQ(edit, GetFocus());

  EXPECT_EQ(1, Ask(kCancelQuestion, base::kOkCancel, [&](HWND dialog) {
              EXPECT_FALSE(IsWindowEnabled(active));
              EXPECT_FALSE(IsWindowEnabled(other));
              EXPECT_FALSE(IsWindowEnabled(disabled));
              EXPECT_TRUE(IsWindowEnabled(dialog));
              EXPECT_EQ(dialog, ui::ActiveOf(thread_));
              ui::Chord({VK_RETURN});
            }));
  EXPECT_TRUE(IsWindowEnabled(active));
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_FALSE(IsWindowEnabled(disabled)) << "a window disabled before was enabled afterwards";
  EXPECT_TRUE(IsWindowEnabled(hidden));
  EXPECT_EQ(active, GetActiveWindow());
  EXPECT_EQ(edit, GetFocus());
  for (HWND w : {active, other, disabled, hidden}) DestroyWindow(w);
}

TEST_F(ConfirmDialogTest, AnswersTwoAtOnceWhileTheApplicationIsEnding) {
  PostQuitMessage(0);
  app_.ProcessMessages();
  ASSERT_TRUE(app_.Terminated());
  // Nobody answers here: waiting for the user would hang. (Under Wine without a window manager,
  // hiding any active window takes two seconds, hence the wide margin.)
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(2, base::ConfirmDialog(kCancelQuestion, base::kOkCancel));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(nullptr, FindWindowW(base::kConfirmDialogClass, nullptr));
}

// The error box: the system's message box, read back from a second thread and answered there.
struct SeenBox {
  std::wstring caption, text;
  HWND owner = nullptr;
};

SeenBox ShowAndRead(const std::wstring& caption, const std::wstring& text) {
  SeenBox seen;
  std::thread driver([&] {
    const HWND box = ui::WaitForWindow(L"#32770", nullptr);
    if (!box) return ADD_FAILURE() << "no message box";
    seen.caption = ui::TextOf(box);
    for (HWND label : ui::Children(box, L"Static"))
      if (!ui::TextOf(label).empty()) seen.text = ui::TextOf(label);
    seen.owner = GetWindow(box, GW_OWNER);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  base::ShowErrorBox(caption, text);
  driver.join();
  return seen;
}

TEST(ShowErrorBoxTest, EmptyCaptionMeansОшибкаAndTheTextShowsAsGiven) {
  const HWND active = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                      200, 100, nullptr, nullptr, nullptr, nullptr);
  SetActiveWindow(active);
  const SeenBox seen = ShowAndRead(L"", L"Ошибка создания директории: \"C:\\A&B\".");
  EXPECT_EQ(L"Ошибка", seen.caption);
  EXPECT_EQ(L"Ошибка создания директории: \"C:\\A&B\".", seen.text);
  EXPECT_EQ(active, seen.owner);
  DestroyWindow(active);

  const SeenBox other = ShowAndRead(L"Сбой", L"Текст");
  EXPECT_EQ(L"Сбой", other.caption);
  EXPECT_EQ(nullptr, other.owner);
}

}  // namespace
}  // namespace setup

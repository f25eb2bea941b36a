// The wizard window driven as a user drives it: real keys and clicks, the real dialogs.
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "setup/wizard/wizard_fixture.h"
#include "core/archive_writer.h"
#include "core/text.h"
#include "setup/run/run_state.h"
#include "setup/run/install_fixture.h"
#include "support/temp_folder.h"
#include "toolkit/error_report.h"
#include "win32/files.h"
#include "win32/wide_text.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

namespace {

using testing_support::ClickAt;
using testing_support::FontOf;
using testing_support::RectInParent;
using testing_support::SaveScreenshot;
using testing_support::SendKey;
using testing_support::TextOf;
using testing_support::WhenModalUp;
using Page = setup::TFormMain::Page;
using namespace std::chrono_literals;

class Wizard : public testing_support::WizardTest {
 protected:
  void ExpectRect(HWND window, int left, int top, int width, int height) {
    const RECT r = RectInParent(window);
    EXPECT_EQ(r.left, left) << TextOf(window);
    EXPECT_EQ(r.top, top) << TextOf(window);
    EXPECT_EQ(r.right - r.left, width) << TextOf(window);
    EXPECT_EQ(r.bottom - r.top, height) << TextOf(window);
  }
  // A label sized to its text: its place as designed, its size that of its text.
  void ExpectLabel(HWND label, int left, int top, const wchar_t* text) {
    EXPECT_EQ(TextOf(label), text);
    const RECT r = RectInParent(label);
    EXPECT_EQ(r.left, left) << TextOf(label);
    EXPECT_EQ(r.top, top) << TextOf(label);
    const win::WindowDc screen(nullptr);
    const win::SelectGuard font(screen.get(),
                                reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(screen.get(), text, static_cast<int>(wcslen(text)), &size);
    EXPECT_EQ(r.right - r.left, size.cx) << text;
    EXPECT_EQ(r.bottom - r.top, size.cy) << text;
  }
  int CurrentPage() {
    int shown = -1;
    for (int i = 0; i < 4; ++i) {
      if (IsWindowVisible(form->PageRef(i).Handle())) {
        EXPECT_EQ(shown, -1) << "two pages visible";
        shown = i;
      }
    }
    EXPECT_EQ(shown, form->PageIndex());
    return shown;
  }
  void GoToSettings() {
    Key(VK_RETURN);
    ASSERT_EQ(CurrentPage(), Page::kSettings);
  }
  // Starts over with a new application and window (an ended application stays ended).
  void Restart() {
    TearDown();
    SetUp();
  }
  void SetPath(const std::string& ansiPath) {
    SetWindowTextW(C().EInstallPath, win::AnsiToWide(ansiPath).c_str());
  }
};

TEST_F(Wizard, WindowFrameAndEveryControlAtItsPlace) {
  if (form->Scale().pixelsPerInch != 96) GTEST_SKIP() << "the designed layout needs 96 dpi";
  HWND window = form->Handle();
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_EQ(TextOf(window), L"Установка программы");
  HMENU menu = GetSystemMenu(window, FALSE);
  std::vector<UINT> commands;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    const UINT id = GetMenuItemID(menu, i);
    if (id != 0) commands.push_back(id);
  }
  EXPECT_EQ(commands, (std::vector<UINT>{SC_MOVE, SC_CLOSE}));

  RECT client, frame;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 384);
  EXPECT_EQ(client.bottom, 283);
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  EXPECT_EQ(frame.left, GetSystemMetrics(SM_XVIRTUALSCREEN) +
                            (GetSystemMetrics(SM_CXVIRTUALSCREEN) - width) / 2);
  EXPECT_EQ(frame.top, GetSystemMetrics(SM_YVIRTUALSCREEN) +
                           (GetSystemMetrics(SM_CYVIRTUALSCREEN) - height) / 2);

  ExpectRect(form->PanelCaption().Handle(), 0, 0, 384, 81);
  EXPECT_EQ(form->PanelCaption().Color(), tk::clWhite);
  ExpectRect(form->Notebook1().Handle(), 0, 81, 384, 202);
  for (int i = 0; i < 4; ++i) ExpectRect(form->PageRef(i).Handle(), 0, 0, 384, 202);

  const TOskelLabel& prompt = form->LabelPrompt();
  EXPECT_EQ(prompt.Parent(), &form->PanelCaption());
  EXPECT_EQ(prompt.Left(), 28);
  EXPECT_EQ(prompt.Top(), 26);
  EXPECT_EQ(prompt.Width(), 297);
  EXPECT_EQ(prompt.Height(), 25);
  EXPECT_EQ(prompt.Caption(), L"Среда Fendaro Korvu ®");
  EXPECT_EQ(prompt.Font().height, 21);
  EXPECT_TRUE(prompt.Font().bold);
  EXPECT_EQ(prompt.Font().color, 16764057);
  EXPECT_EQ(GetParent(C().Label1), form->PanelCaption().Handle());
  ExpectLabel(C().Label1, 282, 62, L"v 5.02 patch 120909");

  const auto& c = C();
  ExpectLabel(c.Label10, 28, 28, L"Добро пожаловать в мастер установки.");
  ExpectLabel(c.Label9, 28, 56, L"Для начала установки программы нажмите \"Далее\".");
  ExpectRect(c.BCancelWellcome, 280, 168, 75, 25);
  ExpectRect(c.BNextWellcome, 196, 168, 75, 25);
  ExpectLabel(c.Label4, 28, 28, L"Параметры:");
  ExpectLabel(c.Label3, 28, 56, L"Укажите путь для установки программы:");
  ExpectRect(c.EInstallPath, 40, 74, 301, 21);
  ExpectRect(form->BBrowsePath().Handle(), 344, 72, 23, 22);
  EXPECT_EQ(form->BBrowsePath().Caption(), L"...");
  ExpectRect(c.BNextSett, 196, 168, 75, 25);
  ExpectRect(c.BCancelSett, 280, 168, 75, 25);
  ExpectRect(c.BPrevSett, 112, 168, 75, 25);
  ExpectLabel(c.Label6, 28, 28, L"Процесс установки программы.");
  ExpectRect(c.LabelFileName, 28, 56, 333, 13);
  EXPECT_EQ(TextOf(c.LabelFileName), L"Подготовка...");
  const TCoolGauge& gauge = form->ProgressBar();
  ExpectRect(gauge.Handle(), 26, 74, 333, 20);
  EXPECT_FALSE(gauge.Visible());
  EXPECT_EQ(gauge.BorderStyle(), tk::bsNone);
  EXPECT_EQ(gauge.ForeColor1(), tk::clWhite);
  EXPECT_EQ(gauge.ForeColor2(), 16744576);
  EXPECT_EQ(gauge.Text(), "%d%%");
  EXPECT_EQ(gauge.Font().height, 11);
  EXPECT_EQ(gauge.Font().color, tk::clBlack);
  ExpectRect(c.BCancelProgress, 280, 168, 75, 25);
  ExpectLabel(c.LabelFinishOk, 28, 28, L"Установка программы завершена.");
  ExpectLabel(c.LabelFinishBad, 28, 28, L"Установка не завершена.");
  ExpectRect(c.BCancelFinish, 280, 168, 75, 25);

  // Fonts: Tahoma 11-pixel characters, bold where the layout says so.
  for (HWND control : {c.Label1, c.Label9, c.BNextWellcome, c.EInstallPath, c.LabelFileName}) {
    const LOGFONTW font = FontOf(control);
    EXPECT_STREQ(font.lfFaceName, L"Tahoma");
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_LT(font.lfWeight, FW_BOLD);
  }
  for (HWND label : {c.Label10, c.Label4, c.Label6, c.LabelFinishOk, c.LabelFinishBad}) {
    EXPECT_EQ(FontOf(label).lfHeight, -11);
    EXPECT_GE(FontOf(label).lfWeight, FW_BOLD);
  }
  // Roles and the tab order; the tool button is never a tab stop.
  EXPECT_EQ(form->TabOrder(Page::kWellcome),
            (std::vector<HWND>{c.BCancelWellcome, c.BNextWellcome}));
  EXPECT_EQ(form->TabOrder(Page::kSettings),
            (std::vector<HWND>{c.BNextSett, c.BCancelSett, c.BPrevSett, c.EInstallPath}));
  EXPECT_EQ(form->DefaultButton(Page::kWellcome), c.BNextWellcome);
  EXPECT_EQ(form->DefaultButton(Page::kSettings), c.BNextSett);
  EXPECT_EQ(form->CancelButton(Page::kProgress), c.BCancelProgress);
  EXPECT_EQ(form->CancelButton(Page::kFinish), c.BCancelFinish);
  EXPECT_FALSE(GetWindowLongW(form->BBrowsePath().Handle(), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(Wizard, StartsOnWellcomeAndWalksForwardAndBack) {
  const auto& c = C();
  EXPECT_EQ(CurrentPage(), Page::kWellcome);
  EXPECT_EQ(GetFocus(), c.BNextWellcome);
  EXPECT_EQ(TextOf(c.EInstallPath), L"C:\\Program Files\\Ostelan\\Korvu");
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  EXPECT_EQ(form->State().SourceDir, dt::SplitPath(exe).folder);
  EXPECT_EQ(form->State().ProgramTitle, "Korvu v5.02 build Ostelan");
  EXPECT_FALSE(form->Installing);
  EXPECT_FALSE(form->Aborted());
  SaveScreenshot(form->Handle(), "screenshots\\page0-wellcome.bmp");

  Key(VK_RETURN);  // the focused "Далее"
  EXPECT_EQ(CurrentPage(), Page::kSettings);
  EXPECT_EQ(GetFocus(), c.EInstallPath);
  SaveScreenshot(form->Handle(), "screenshots\\page1-settings.bmp");

  SetWindowTextW(c.EInstallPath, L"D:\\Elsewhere");
  Click(c.BPrevSett);
  EXPECT_EQ(CurrentPage(), Page::kWellcome);
  EXPECT_EQ(GetFocus(), c.BNextWellcome);
  Key(VK_SPACE);
  EXPECT_EQ(CurrentPage(), Page::kSettings);
  EXPECT_EQ(TextOf(c.EInstallPath), L"D:\\Elsewhere");
  Click(c.BPrevSett);
  Click(c.BNextWellcome);
  EXPECT_EQ(CurrentPage(), Page::kSettings);
  EXPECT_EQ(GetFocus(), c.EInstallPath);
  EXPECT_FALSE(app->Terminated());
}

TEST_F(Wizard, TabAndArrowsCycleThroughThePageAndEnterPressesTheFocusedButton) {
  const auto& c = C();
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), c.BCancelWellcome);
  Key(VK_TAB);
  EXPECT_EQ(GetFocus(), c.BNextWellcome);
  Key(VK_LEFT);
  EXPECT_EQ(GetFocus(), c.BCancelWellcome);
  Key(VK_DOWN);
  EXPECT_EQ(GetFocus(), c.BNextWellcome);

  GoToSettings();
  // The page's default button looks like one while the focus is in the field.
  EXPECT_EQ(GetWindowLongW(c.BNextSett, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
  const std::vector<HWND> forward = {c.BNextSett, c.BCancelSett, c.BPrevSett, c.EInstallPath};
  for (HWND expected : forward) {
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), expected);
  }
  Key(VK_TAB, /*shift=*/true);
  EXPECT_EQ(GetFocus(), c.BPrevSett);
  Key(VK_UP);
  EXPECT_EQ(GetFocus(), c.BCancelSett);
  EXPECT_EQ(GetWindowLongW(c.BCancelSett, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongW(c.BNextSett, GWL_STYLE) & 0x0F, BS_PUSHBUTTON);
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  EXPECT_EQ(GetFocus(), c.EInstallPath);
  // Inside the field the arrows move the caret, not the focus.
  SendMessageW(c.EInstallPath, EM_SETSEL, 0, 0);
  Key(VK_RIGHT);
  DWORD caret = 0;
  SendMessageW(c.EInstallPath, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
  EXPECT_EQ(caret, 1u);
  Key(VK_DOWN);
  Key(VK_LEFT);
  EXPECT_EQ(GetFocus(), c.EInstallPath);
  // Clicking the tool button leaves the focus where it was (the browser is cancelled at once).
  Key(VK_TAB, true);
  ASSERT_EQ(GetFocus(), c.BPrevSett);
  {
    WhenModalUp cancel([](HWND browser) { PostMessageW(browser, WM_COMMAND, IDCANCEL, 0); });
    Click(form->BBrowsePath().Handle());
    EXPECT_TRUE(cancel.Done());
  }
  Settle();
  EXPECT_EQ(GetFocus(), c.BPrevSett);
  Key(VK_RETURN);  // the focused "Назад", not the page's default
  EXPECT_EQ(CurrentPage(), Page::kWellcome);
  EXPECT_EQ(GetFocus(), c.BNextWellcome);
  EXPECT_FALSE(app->Terminated());
}

TEST_F(Wizard, EveryCloseRequestOutsideARunEndsTheApplicationWithoutAQuestion) {
  struct Case {
    const char* name;
    bool onSettings;
    std::function<void()> request;
  };
  const std::vector<Case> cases = {
      {"Esc on Wellcome", false, [this] { Key(VK_ESCAPE); }},
      {"Esc in the path field", true, [this] { Key(VK_ESCAPE); }},
      {"Отмена on Wellcome", false, [this] { Click(C().BCancelWellcome); }},
      {"Отмена on Settings", true, [this] { Click(C().BCancelSett); }},
      {"close button", false, [this] { SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4", true, [this] { Key(VK_F4, false, /*alt=*/true); }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Restart();
    if (test.onSettings) GoToSettings();
    const int page = CurrentPage();
    test.request();
    Settle();
    EXPECT_TRUE(app->Terminated());
    // The window has no close handler: it stays, on the same page, and nothing was asked.
    EXPECT_TRUE(IsWindow(form->Handle()) && IsWindowVisible(form->Handle()));
    EXPECT_EQ(CurrentPage(), page);
    EXPECT_TRUE(testing_support::OtherThreadWindows(form->Handle()).empty());
  }
}

TEST_F(Wizard, AFolderThatCannotBeMadeKeepsSettingsWithTheErrorBox) {
  testing_support::TempFolder temp;
  testing_support::WriteFileBytes(temp / "file", "x");
  base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(temp / "log.txt"));
  form->UseLog(log);
  bool ran = false;
  form->RunProcedure = [&ran](setup::InstallView&) { return ran = true; };
  GoToSettings();
  // An empty path is no full folder; a file of that name cannot become a folder.
  for (const auto& [path, why] : {std::pair<std::string, std::string>{"", "not a full path"},
                                  {temp / "file", "system error 183"}}) {
    SCOPED_TRACE(path);
    SetPath(path);
    std::wstring caption, text;
    {
      WhenModalUp answer([&](HWND box) {
        caption = TextOf(box);
        text = testing_support::StaticTexts(box);
        SendKey(VK_RETURN);
      });
      Key(VK_RETURN);  // in the path field: the page's default, "Начать"
      EXPECT_TRUE(answer.Done());
    }
    Settle();
    EXPECT_EQ(caption, L"Ошибка");
    EXPECT_NE(text.find(L"Ошибка создания директории.\rУкажите другое имя."), std::wstring::npos)
        << win::WideToUtf8(text);
    EXPECT_EQ(CurrentPage(), Page::kSettings);
    EXPECT_EQ(GetFocus(), C().EInstallPath);
    EXPECT_EQ(form->State().InstallFolder, path);
    const std::string logged = testing_support::ReadFileBytes(temp / "log.txt");
    EXPECT_NE(
        logged.find("the installation folder cannot be created or is not a folder (" + why + "): " +
                    win::WideToUtf8(L"Ошибка создания директории. Укажите другое имя.\r\n")),
        std::string::npos)
        << logged;
  }
  form->UseLog(base::NoLog());
  EXPECT_FALSE(ran);
  EXPECT_FALSE(form->Installing);
}

TEST_F(Wizard, StartCreatesTheFolderRunsOnTheProgressPageAndEndsOnFinish) {
  for (const bool completed : {true, false}) {
    SCOPED_TRACE(completed);
    Restart();
    testing_support::TempFolder temp;
    const std::string folder = temp / "Program Files\\Korvu\\";  // kept as typed
    form->RunProcedure = [&](setup::InstallView& view) {
      EXPECT_EQ(CurrentPage(), Page::kProgress);
      EXPECT_EQ(GetFocus(), C().BCancelProgress);
      EXPECT_TRUE(form->Installing);
      EXPECT_EQ(form->State().InstallFolder, folder);
      EXPECT_TRUE(win::DirectoryExistsQuiet(folder));
      view.SetFileLabel(L"Файл: KORVU50.DLL");
      view.SetGaugeMax(1000);
      view.SetGaugePosition(420);
      view.SetGaugeVisible(true);
      view.Pump();
      EXPECT_EQ(TextOf(C().LabelFileName), L"Файл: KORVU50.DLL");
      EXPECT_TRUE(IsWindowVisible(form->ProgressBar().Handle()));
      EXPECT_EQ(form->ProgressBar().Position(), 420);
      if (completed) SaveScreenshot(form->Handle(), "screenshots\\page2-progress.bmp");
      return completed;
    };
    GoToSettings();
    SetPath(folder);
    Click(C().BNextSett);
    EXPECT_EQ(CurrentPage(), Page::kFinish);
    EXPECT_EQ(GetFocus(), C().BCancelFinish);
    EXPECT_FALSE(form->Installing);
    EXPECT_EQ(Shown(C().LabelFinishOk), completed);
    EXPECT_EQ(Shown(C().LabelFinishBad), !completed);
    SaveScreenshot(form->Handle(), completed ? "screenshots\\page3-finish-ok.bmp"
                                             : "screenshots\\page3-finish-bad.bmp");
    EXPECT_FALSE(app->Terminated());
    Key(VK_RETURN);  // "Закрыть"
    EXPECT_TRUE(app->Terminated());
  }
}

// During a run the file label and the gauge paint at most once per 16 ms (on a clock the test
// moves): the first entry at once, later states when 16 ms have passed, at an entry or a pump.
// The current state always shows in a question, before the gauge hides and before the page
// changes (the gauge paints only while it shows, so its paint count tells which came first).
TEST_F(Wizard, RunPaintsOncePerRefreshAndTheCurrentStateBeforeQuestionsHidingAndPageChanges) {
  testing_support::TempFolder temp;
  std::chrono::microseconds now{10s};
  form->UsePaintClock([&now] { return now; });
  TCoolGauge& gauge = form->ProgressBar();
  const auto label = [this] { return TextOf(C().LabelFileName); };
  int paintsBeforeFinish = 0;
  form->RunProcedure = [&](setup::InstallView& view) {
    view.SetGaugeMax(1000);
    view.SetGaugeVisible(true);
    view.SetFileLabel(L"Файл: a.dll...");
    EXPECT_EQ(label(), L"Файл: a.dll...");  // the first entry: at once
    view.SetGaugePosition(100);
    view.Pump();
    now += 10ms;
    view.SetFileLabel(L"Файл: b.dll...");
    view.SetGaugePosition(200);
    view.Pump();
    EXPECT_EQ(label(), L"Файл: a.dll...");  // 10 ms after the last paint: kept back
    EXPECT_EQ(gauge.Position(), 0);
    now += 6ms;
    view.SetFileLabel(L"Файл: c.dll...");  // 16 ms: painted before its payload
    EXPECT_EQ(label(), L"Файл: c.dll...");
    EXPECT_EQ(gauge.Position(), 200);

    now += 1ms;
    view.SetGaugePosition(300);
    view.SetFileLabel(L"Файл: d.dll...");
    EXPECT_EQ(label(), L"Файл: c.dll...");
    std::wstring labelAsked;
    int positionAsked = -1;
    {
      WhenModalUp answer([&](HWND box) {
        labelAsked = label();
        positionAsked = gauge.Position();
        PostMessageW(box, WM_CLOSE, 0, 0);
      });
      EXPECT_EQ(view.AskWriteError(L"Ошибка записи файла: \"d.dll\".", ERROR_SHARING_VIOLATION, 1),
                setup::WriteErrorAnswer::kClosed);
    }
    EXPECT_EQ(labelAsked, L"Файл: d.dll...");
    EXPECT_EQ(positionAsked, 300);

    now += 1ms;
    view.SetGaugePosition(600);
    const int paintsBeforeHiding = gauge.PaintCount();
    view.SetGaugeVisible(false);
    EXPECT_EQ(gauge.Position(), 600);
    EXPECT_GT(gauge.PaintCount(), paintsBeforeHiding);

    view.SetGaugeVisible(true);
    now += 1ms;
    view.SetFileLabel(L"Файл: e.dll...");
    view.SetGaugePosition(900);
    EXPECT_EQ(label(), L"Файл: d.dll...");
    paintsBeforeFinish = gauge.PaintCount();
    return true;
  };
  GoToSettings();
  SetPath(temp.path());
  Click(C().BNextSett);
  EXPECT_EQ(CurrentPage(), Page::kFinish);
  EXPECT_EQ(label(), L"Файл: e.dll...");
  EXPECT_EQ(gauge.Position(), 900);
  EXPECT_GT(gauge.PaintCount(), paintsBeforeFinish);  // painted while the Progress page showed
}

// With room for what the archives hold, the disk-space check shows nothing and the run starts.
// (A volume that falls short: full_disk_test.cpp.)
TEST_F(Wizard, EnoughDiskSpaceAsksNothing) {
  testing_support::TempFolder temp;
  const std::string dist = temp / "dist";
  CreateDirectoryA(dist.c_str(), nullptr);
  testing_support::WriteFileBytes(dist + "\\ProgramFiles.dt",
                                  dt::BuildArchive({{"%InstallDir%\\a.txt", "a"}}));
  form->State().SourceDir = dist;
  bool ran = false;
  form->RunProcedure = [&ran](setup::InstallView&) { return ran = true; };
  GoToSettings();
  SetPath(temp / "Korvu");
  WhenModalUp unexpected([](HWND) { SendKey(VK_ESCAPE); });
  Key(VK_RETURN);
  Settle(300);
  EXPECT_FALSE(unexpected.Done());
  EXPECT_TRUE(ran);
  EXPECT_EQ(CurrentPage(), Page::kFinish);
}

TEST_F(Wizard, AnErrorRaisedByTheRunIsReportedAfterTheFinishPageShows) {
  testing_support::TempFolder temp;
  form->RunProcedure = [](setup::InstallView&) -> bool {
    throw std::runtime_error("Failed to set data for 'DisplayName'");
  };
  int page = -1;
  bool badShown = false, installing = true;
  std::wstring reported;
  const auto previous = tk::SetErrorReporter([&](const std::wstring& message) {
    reported = message;
    page = form->PageIndex();
    badShown = Shown(C().LabelFinishBad) && !Shown(C().LabelFinishOk);
    installing = form->Installing;
  });
  GoToSettings();
  SetPath(temp.path());
  Click(C().BNextSett);
  tk::SetErrorReporter(previous);
  EXPECT_EQ(reported, L"Failed to set data for 'DisplayName'");
  EXPECT_EQ(page, Page::kFinish);
  EXPECT_TRUE(badShown);
  EXPECT_FALSE(installing);
  EXPECT_EQ(CurrentPage(), Page::kFinish);
}

// "Прервать" during a run: answered with Отмена the run goes on; with OK the run is flagged as
// aborted and the application ends.
TEST_F(Wizard, CancelDuringARunAsksAndOnlyOkAborts) {
  testing_support::TempFolder temp;
  bool firstAnswerKeptRunning = false;
  form->RunProcedure = [&](setup::InstallView& view) {
    {
      WhenModalUp no([](HWND) { SendKey(VK_ESCAPE); });
      SendKey(VK_ESCAPE);  // Esc on the Progress page presses "Прервать"
      Settle(300);
      EXPECT_TRUE(no.Done());
    }
    firstAnswerKeptRunning = !view.Aborted() && !app->Terminated();
    {
      WhenModalUp yes([](HWND) { SendKey(VK_RETURN); });  // the focused first button, OK
      ClickAt(C().BCancelProgress);
      Settle(300);
      EXPECT_TRUE(yes.Done());
    }
    EXPECT_TRUE(view.Aborted());
    EXPECT_TRUE(app->Terminated());
    return !view.Aborted();
  };
  GoToSettings();
  SetPath(temp.path());
  Key(VK_RETURN);
  EXPECT_TRUE(firstAnswerKeptRunning);
  EXPECT_TRUE(form->Aborted());
  EXPECT_FALSE(form->Installing);
}

// A close request during a run asks nothing and does not abort; afterwards "Прервать" cannot
// abort either, since the question answers Cancel by itself while the application ends.
TEST_F(Wizard, CloseDuringARunLetsTheRunFinish) {
  testing_support::TempFolder temp;
  bool closedWithoutQuestion = false;
  form->RunProcedure = [&](setup::InstallView& view) {
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    view.Pump();
    closedWithoutQuestion = app->Terminated() && !view.Aborted() &&
                            testing_support::OtherThreadWindows(form->Handle()).empty();
    WhenModalUp fallback([](HWND) { SendKey(VK_RETURN); });  // should the dialog wait after all
    ClickAt(C().BCancelProgress);
    Settle(300);
    EXPECT_FALSE(view.Aborted());
    return true;
  };
  GoToSettings();
  SetPath(temp.path());
  Click(C().BNextSett);
  EXPECT_TRUE(closedWithoutQuestion);
  EXPECT_FALSE(form->Aborted());
  EXPECT_EQ(CurrentPage(), Page::kFinish);
  EXPECT_TRUE(Shown(C().LabelFinishOk));
}

TEST_F(Wizard, BrowseCreatesTheTypedFolderAndTakesOnlyAConfirmedChoice) {
  testing_support::TempFolder temp;
  GoToSettings();
  const std::string typed = temp / "new\\deeper";
  SetPath(typed);
  bool disabledWhileUp = false, quietWhileUp = false;
  {
    WhenModalUp cancel([&](HWND browser) {
      disabledWhileUp = !IsWindowEnabled(form->Handle());
      const UINT mode = SetErrorMode(0);
      SetErrorMode(mode);
      quietWhileUp = (mode & SEM_FAILCRITICALERRORS) != 0;
      PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    });
    Click(form->BBrowsePath().Handle());
    EXPECT_TRUE(cancel.Done());
  }
  EXPECT_TRUE(disabledWhileUp);
  EXPECT_TRUE(quietWhileUp);
  EXPECT_TRUE(IsWindowEnabled(form->Handle()));
  EXPECT_TRUE(win::DirectoryExistsQuiet(typed));  // stays although the browser was cancelled
  EXPECT_EQ(TextOf(C().EInstallPath), win::AnsiToWide(typed));

  // A drive's root comes back with its backslash.
  {
    WhenModalUp choose([](HWND browser) {
      SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"C:\\"));
      PostMessageW(browser, WM_COMMAND, IDOK, 0);
    });
    Click(form->BBrowsePath().Handle());
    EXPECT_TRUE(choose.Done());
  }
  EXPECT_EQ(TextOf(C().EInstallPath), L"C:\\");

  // A chosen folder whose name the ANSI code page cannot hold comes back in its short form,
  // never with '?' in place of the letters it cannot hold (that would name another folder).
  const std::wstring omega = L"C:\\\u03a9mega-setup-test";
  CreateDirectoryW(omega.c_str(), nullptr);
  ASSERT_NE(GetFileAttributesW(omega.c_str()), INVALID_FILE_ATTRIBUTES);
  {
    WhenModalUp choose([&omega](HWND browser) {
      SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(omega.c_str()));
      PostMessageW(browser, WM_COMMAND, IDOK, 0);
    });
    Click(form->BBrowsePath().Handle());
    EXPECT_TRUE(choose.Done());
  }
  const std::wstring picked = TextOf(C().EInstallPath);
  EXPECT_EQ(picked.find(L'?'), std::wstring::npos) << win::WideToUtf8(picked);
  EXPECT_TRUE(win::DirectoryExistsQuiet(win::WideToAnsi(picked))) << win::WideToUtf8(picked);
  EXPECT_NE(picked, L"C:\\");
  RemoveDirectoryW(omega.c_str());  // the temporary folder's cleanup reads ANSI names only

  // A path that cannot be created still opens the browser.
  SetPath("C:\\bad|name\\x");
  {
    WhenModalUp cancel([](HWND browser) { PostMessageW(browser, WM_COMMAND, IDCANCEL, 0); });
    Click(form->BBrowsePath().Handle());
    EXPECT_TRUE(cancel.Done());
  }
  EXPECT_EQ(TextOf(C().EInstallPath), L"C:\\bad|name\\x");
  EXPECT_EQ(CurrentPage(), Page::kSettings);
}

// Also run at the ANSI code page 1252: the Russian texts must read back intact.
TEST_F(Wizard, TextsReadBackIntactWhateverTheCodePage) {
  const auto& c = C();
  EXPECT_EQ(TextOf(form->Handle()), L"Установка программы");
  EXPECT_EQ(TextOf(c.Label10), L"Добро пожаловать в мастер установки.");
  EXPECT_EQ(TextOf(c.Label3), L"Укажите путь для установки программы:");
  EXPECT_EQ(TextOf(c.BNextSett), L"Начать");
  EXPECT_EQ(TextOf(c.BCancelProgress), L"Прервать");
  EXPECT_EQ(TextOf(c.BCancelFinish), L"Закрыть");
  EXPECT_EQ(TextOf(c.LabelFinishBad), L"Установка не завершена.");
  EXPECT_EQ(form->LabelPrompt().Caption(), L"Среда Fendaro Korvu ®");
  std::printf("ANSI code page %u\n", GetACP());
  // The error box of the folder check too.
  GoToSettings();
  SetPath("");
  std::wstring text;
  {
    WhenModalUp answer([&](HWND box) {
      text = testing_support::StaticTexts(box);
      SendKey(VK_RETURN);
    });
    Key(VK_RETURN);
  }
  EXPECT_NE(text.find(L"Укажите другое имя."), std::wstring::npos) << win::WideToUtf8(text);
}

}  // namespace

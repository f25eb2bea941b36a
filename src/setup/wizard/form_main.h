// The wizard window: a header band and a page container with the pages "Wellcome", "Settings",
// "Progress" and "Finish". It owns the page flow, the two run flags, the cancel protocol and the
// folder browser button, and it is what an installation run shows its progress in.
//
//   tk::Application app;  app.SetTitle(L"Установка программы");
//   setup::TFormMain form;          // creates the window; FormCreate runs
//   app.SetMainWindow(form.Handle());
//   form.Show();                    // FormShow runs before the first paint
//   app.Run();
//
// The window has no close handler of its own: a close request of the main window tells the
// application to end, and the window stays on screen until the object goes.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "components/cool_gauge.h"
#include "components/oskel_label.h"
#include "setup/wizard/form_scaling.h"
#include "setup/wizard/paint_throttle.h"
#include "setup/run/install_log.h"
#include "setup/run/install_sequence.h"
#include "setup/run/install_view.h"
#include "setup/run/run_outcome.h"
#include "setup/wizard/tool_button.h"
#include "toolkit/panel.h"
#include "win32/handles.h"

namespace setup {

class TFormMain : public InstallView {
 public:
  // The pages of Notebook1, in index order.
  enum Page : int { kWellcome = 0, kSettings = 1, kProgress = 2, kFinish = 3 };

  // Creates the window with every control (hidden), then runs FormCreate.
  TFormMain();
  ~TFormMain() override;
  TFormMain(const TFormMain&) = delete;
  TFormMain& operator=(const TFormMain&) = delete;

  HWND Handle() const { return window_.get(); }
  // Runs FormShow, then shows the window and paints it.
  void Show();

  // The log that the window and the runs it starts write to (none until given).
  void UseLog(InstallLog& log) { log_ = &log; }
  InstallLog& Log() const { return *log_; }
  // Fills the path field (a folder given on the command line), in the ANSI code page.
  void SetInstallPath(const std::string& folder);
  // How the window's part ended: left before a run, or the run's outcome.
  Outcome EndedWith() const { return outcome_; }

  // The question that the cancel button asks during a run.
  void SetCancelQuestion(std::wstring question) { cancelQuestion_ = std::move(question); }

  // A run is in progress (set around the run by BNextSettClick).
  bool Installing = false;
  // The installation that "Начать" starts: RunInstall. Tests put a procedure of their own here.
  InstallProcedure Installation;

  // Event handlers.
  void FormCreate();
  void FormShow();
  void BNextWellcomeClick();
  void BPrevSettClick();
  void BBrowsePathClick();
  void BNextSettClick();
  // Shared by the four cancel-role buttons.
  void BCancelClick();

  // InstallView: what an installation run shows and asks. The file label and the gauge's
  // position are painted at most once per screen refresh (paint_throttle.h): a new state is
  // painted when the last paint is 16 ms old, at the next entry or pump after that, and always
  // before a question or box, before the gauge shows or hides and before the page changes.
  // While the gauge is hidden the label is painted at once.
  void SetFileLabel(const std::wstring& text) override;
  void SetGaugeMax(std::int32_t max) override;
  void SetGaugePosition(std::int32_t position) override;
  void SetGaugeVisible(bool visible) override;
  bool Aborted() const override { return aborted_; }
  WriteErrorAnswer AskWriteError(const std::wstring& text, unsigned long systemError,
                                 int attempt) override;
  void Pump() override;
  void ShowRunError(const std::wstring& text) override;
  // Switches to the "Progress" page with the focus on its cancel button (showing the window
  // when it is hidden: an unattended run), and sets Installing.
  void RunBegins() override;
  void RunEnds() override { Installing = false; }
  bool AcceptDiskShortfall(const VolumeSpace& volume) override;
  void ShowFolderError(const std::wstring& text) override;
  // Nothing can be cancelled any more: the cancel button of the "Progress" page is disabled.
  void LockCancel();

  // The current page of Notebook1.
  int PageIndex() const { return pageIndex_; }
  // Makes a page current; when the focus was on another page, the first control of the new
  // page in tab order takes it.
  void SetPageIndex(int page);

  // Paints the stored label and gauge position now (the state a question or a new page must show).
  void PaintProgressNow() { progressPaint_.Flush(); }
  // The clock that times those paints (QueryPerformanceCounter unless a test gives its own).
  void UsePaintClock(PaintThrottle::Clock clock) { progressPaint_.UseClock(std::move(clock)); }

  // The scaling applied at creation (1:1 at 96 pixels per inch).
  const LayoutScale& Scale() const { return scale_; }

  // The controls, named as the layout names them; read by tests and by the run.
  struct Controls {
    HWND Label1, Label10, Label9, BCancelWellcome, BNextWellcome;
    HWND Label4, Label3, EInstallPath, BNextSett, BCancelSett, BPrevSett;
    HWND Label6, LabelFileName, BCancelProgress;
    HWND LabelFinishOk, LabelFinishBad, BCancelFinish;
  };
  const Controls& Ctl() const { return c_; }
  tk::Panel& PanelCaption() const { return *panelCaption_; }
  tk::Panel& Notebook1() const { return *notebook_; }
  tk::Panel& PageRef(int page) const { return *pages_[static_cast<std::size_t>(page)].panel; }
  components::TOskelLabel& LabelPrompt() const { return *labelPrompt_; }
  components::TCoolGauge& ProgressBar() const { return *progressBar_; }
  ToolButton& BBrowsePath() const { return *browsePath_; }

  // The page's focusable controls in tab order, its default and its cancel button.
  const std::vector<HWND>& TabOrder(int page) const;
  HWND DefaultButton(int page) const;
  HWND CancelButton(int page) const;

 private:
  struct PageInfo {
    std::unique_ptr<tk::Panel> panel;
    std::vector<HWND> tabOrder;
    HWND defaultButton = nullptr;
    HWND cancelButton = nullptr;
  };

  // Posted after input that may have moved the focus: the default button's look follows it.
  static constexpr UINT kRefreshDefaultLook = WM_APP + 1;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  // Layout (form_layout.cpp).
  void CreateWindowFrame();
  void CreateFonts();
  void CreateHeader();
  void CreatePages();
  void CreateWellcomePage();
  void CreateSettingsPage();
  void CreateProgressPage();
  void CreateFinishPage();
  HWND AddLabel(tk::Panel& parent, int left, int top, int width, int height, const wchar_t* text,
                HFONT font, bool autoSize);
  HWND AddButton(PageInfo& page, int left, int top, const wchar_t* text);

  // Keyboard (form_keyboard.cpp): Tab, arrows, Enter and Esc for the whole window.
  bool FilterKey(const MSG& msg);
  void MoveFocus(bool forward);
  bool IsPushButton(HWND window) const;

  // A button was pressed (by click, Space, Enter or Esc).
  void Click(HWND button);
  // The look of the default button follows the focus: the focused push button, or the page's
  // default button while the focus is elsewhere.
  void UpdateDefaultLook(HWND focused);
  // A close request: the main window tells the application to end and stays; any other window
  // only hides.
  void Close();
  // The Finish page with exactly one of its two labels.
  void ShowFinish(bool completed);
  std::string InstallPathText() const;

  win::Window window_;  // destroyed last: the children below go first
  LayoutScale scale_;
  win::Font windowFont_, boldFont_;
  std::unique_ptr<tk::Panel> panelCaption_;
  std::unique_ptr<tk::Panel> notebook_;
  std::array<PageInfo, 4> pages_;
  std::unique_ptr<components::TOskelLabel> labelPrompt_;
  std::unique_ptr<components::TCoolGauge> progressBar_;
  std::unique_ptr<ToolButton> browsePath_;
  Controls c_{};
  int pageIndex_ = kSettings;
  bool aborted_ = false;
  InstallLog* log_ = &NoLog();
  Outcome outcome_ = Outcome::kLeftBeforeRun;
  HWND savedFocus_ = nullptr;  // the control that had the focus when the window was deactivated
  int keyFilter_ = 0;
  std::wstring cancelQuestion_ = L"Прервать установку программы?";
  PaintThrottle progressPaint_;  // the file label and the gauge's position, painted as due
};

}  // namespace setup

// The progress window both programs show: a header band (the product's caption label and version)
// over a page container, whose "Progress" page has a heading, a label naming the step at hand, the
// gradient gauge and a cancel button. The installer's wizard adds its other pages to the same
// container; its /SILENT view and the uninstaller's window show this page alone.
//
// The window owns the paging, the keyboard (Tab, arrows, Enter, Esc for the whole window), the
// cancel protocol (the cancel button asks during a run, closes otherwise) and the message pump of
// a run. A close request of the main window tells the application to end; the window stays on
// screen until the object goes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/program_log.h"
#include "base/ui/progress/layout_scale.h"
#include "base/ui/progress/paint_throttle.h"
#include "components/cool_gauge.h"
#include "components/oskel_label.h"
#include "toolkit/panel.h"
#include "win32/handles.h"

namespace base {

// The window class of the progress window (and so of the wizard): a second start of the installer
// finds a running one by it.
inline constexpr wchar_t kProgressWindowClass[] = L"TFormMain";

class ProgressWindow {
 public:
  // What differs between the programs.
  struct Texts {
    const wchar_t* caption;         // the title bar ("Установка программы")
    const wchar_t* heading;         // the "Progress" page's bold line
    const wchar_t* cancelQuestion;  // what the cancel button asks during a run
  };
  // The pages of the container: their names for the log, which of them is "Progress", and the
  // one shown first.
  struct Pages {
    std::vector<const wchar_t*> names;
    int progress = 0;
    int first = 0;
  };

  // Creates the window with its header and every page (hidden); the "Progress" page is laid out
  // here, the others by the owner.
  ProgressWindow(const Texts& texts, const Pages& pages);
  virtual ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  HWND Handle() const { return window_.get(); }

  // The log that the window writes to (none until given).
  void UseLog(ProgramLog& log) { log_ = &log; }
  ProgramLog& Log() const { return *log_; }

  // A run is in progress: the cancel button asks instead of closing.
  bool Installing = false;

  // The progress: the label (ANSI texts as wide ones), the gauge's range, position and
  // visibility. The label and the position are painted at most once per screen refresh
  // (paint_throttle.h): a new state is painted when the last paint is 16 ms old, at the next
  // step or pump after that, and always before a question or box, before the gauge shows or
  // hides and before the page changes. While the gauge is hidden the label is painted at once.
  void SetFileLabel(const std::wstring& text);
  void SetGaugeMax(std::int32_t max);
  void SetGaugePosition(std::int32_t position);
  void SetGaugeVisible(bool visible);
  // The person confirmed cancelling.
  bool Aborted() const { return aborted_; }
  // Handles every pending window message and returns: the one pump of a run.
  void Pump();
  // The run begins: the "Progress" page with the focus on its cancel button (showing the window
  // when it is hidden), and Installing set.
  void ShowProgressPage();
  // Nothing can be cancelled any more: the cancel button of the "Progress" page is disabled.
  void LockCancel();

  // Shared by every cancel-role button: asks during a run, closes otherwise.
  void BCancelClick();

  // The current page of the container.
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

  // The controls of the header and the "Progress" page, named as the layout names them.
  struct ProgressControls {
    HWND Label1, Label6, LabelFileName, BCancelProgress;
  };
  const ProgressControls& ProgressCtl() const { return progress_; }
  tk::Panel& PanelCaption() const { return *panelCaption_; }
  tk::Panel& Notebook1() const { return *notebook_; }
  tk::Panel& PageRef(int page) const { return *pages_[static_cast<std::size_t>(page)].panel; }
  components::TOskelLabel& LabelPrompt() const { return *labelPrompt_; }
  components::TCoolGauge& ProgressBar() const { return *progressBar_; }

  // The page's focusable controls in tab order, its default and its cancel button.
  const std::vector<HWND>& TabOrder(int page) const;
  HWND DefaultButton(int page) const;
  HWND CancelButton(int page) const;

 protected:
  struct PageInfo {
    std::unique_ptr<tk::Panel> panel;
    std::vector<HWND> tabOrder;
    HWND defaultButton = nullptr;
    HWND cancelButton = nullptr;
  };
  PageInfo& PageAt(int page) { return pages_[static_cast<std::size_t>(page)]; }

  // Layout helpers for the pages, in designed (96 pixels per inch) units.
  HWND AddLabel(tk::Panel& parent, int left, int top, int width, int height, const wchar_t* text,
                HFONT font, bool autoSize);
  HWND AddButton(PageInfo& page, int left, int top, const wchar_t* text);
  HFONT WindowFont() const { return windowFont_.get(); }
  HFONT BoldFont() const { return boldFont_.get(); }

  // A button that is not a cancel-role button was pressed (by click, Space or Enter).
  virtual void ButtonClicked(HWND) {}
  // A close request: the main window tells the application to end and stays; any other window
  // only hides.
  void Close();
  // The control that gets the focus back when the window is activated again.
  void RememberFocus(HWND control) { savedFocus_ = control; }

 private:
  // Posted after input that may have moved the focus: the default button's look follows it.
  static constexpr UINT kRefreshDefaultLook = WM_APP + 1;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  // Layout (progress_layout.cpp).
  void CreateWindowFrame(const wchar_t* caption);
  void CreateFonts();
  void CreateHeader();
  void CreatePages(const Pages& pages);
  void CreateProgressPage(const wchar_t* heading);

  // Keyboard (progress_keyboard.cpp).
  bool FilterKey(const MSG& msg);
  void MoveFocus(bool forward);

  // A button was pressed (by click, Space, Enter or Esc).
  void Click(HWND button);
  // The look of the default button follows the focus: the focused push button, or the page's
  // default button while the focus is elsewhere.
  void UpdateDefaultLook(HWND focused);

  win::Window window_;  // destroyed last: the children below go first
  LayoutScale scale_;
  win::Font windowFont_, boldFont_;
  std::unique_ptr<tk::Panel> panelCaption_;
  std::unique_ptr<tk::Panel> notebook_;
  std::vector<PageInfo> pages_;
  std::vector<const wchar_t*> pageNames_;
  int progressPage_ = 0;
  std::unique_ptr<components::TOskelLabel> labelPrompt_;
  std::unique_ptr<components::TCoolGauge> progressBar_;
  ProgressControls progress_{};
  int pageIndex_ = 0;
  bool aborted_ = false;
  ProgramLog* log_ = &NoLog();
  HWND savedFocus_ = nullptr;  // the control that had the focus when the window was deactivated
  int keyFilter_ = 0;
  std::wstring cancelQuestion_;
  PaintThrottle progressPaint_;  // the file label and the gauge's position, painted as due
};

}  // namespace base

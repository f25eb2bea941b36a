// The question window of ConfirmDialog: a window of the program's own class, laid out from the
// message font's units, with a question-mark icon, a word-wrapping text label, a row of buttons
// and a keyboard of its own (Enter, Space, Esc, Tab, arrows, access keys, Ctrl+C).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/ui/dialogs/confirm_layout.h"
#include "base/ui/dialogs/dialog_buttons.h"
#include "win32/handles.h"

namespace base {

// Tests find the dialog by its class or its caption.
inline constexpr wchar_t kConfirmDialogClass[] = L"SetupConfirmDialog";
inline constexpr wchar_t kConfirmDialogCaption[] = L"Подтверждение";

// The caption of a button kind; '&' marks the access key.
const wchar_t* ButtonCaption(DialogButton kind);

// What Ctrl+C puts on the clipboard: caption, message and button captions between lines of 27
// hyphens, every line ended by CR LF.
std::wstring ConfirmClipboardText(const std::wstring& caption, const std::wstring& text,
                                  const std::vector<std::wstring>& captions);

class ConfirmWindow {
 public:
  // Builds the dialog, hidden and centred on the screen, owned by `owner` (may be null). Handle()
  // is null when the window could not be created.
  ConfirmWindow(const std::wstring& text, ButtonSet buttons, HWND owner);
  ~ConfirmWindow();
  ConfirmWindow(const ConfirmWindow&) = delete;
  ConfirmWindow& operator=(const ConfirmWindow&) = delete;

  HWND Handle() const { return window_; }

  // Shows the dialog with the focus on the first button and handles messages until it has an
  // answer: a button's kind, or 2 when it was closed or the application is ending.
  int RunModal();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleButtonMessage(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

  void CreateChildren(HFONT font);
  // The keys the dialog answers itself; false lets the window's own handling go on.
  bool HandleKey(WPARAM key);
  bool PressAccessKey(wchar_t character);
  int FocusedIndex() const;
  void MoveFocus(int step);
  void ShowAsDefault(HWND focused);
  void CopyToClipboard() const;

  std::wstring text_;
  std::vector<DialogButton> kinds_;
  std::vector<std::wstring> captions_;
  std::vector<wchar_t> accessKeys_;  // upper case; 0 for none
  ConfirmLayout layout_;
  win::Font font_;
  HWND window_ = nullptr;
  std::vector<HWND> buttons_;
  WNDPROC buttonDefault_ = nullptr;
  int lastFocus_ = 0;
  int answer_ = 0;
};

}  // namespace base

#include "base/ui/dialogs/dialogs.h"

#include <windows.h>

#include "base/ui/dialogs/confirm_dialog.h"
#include "base/ui/dialogs/modal_scope.h"
#include "toolkit/application.h"

namespace base {

void ShowErrorBox(const std::wstring& caption, const std::wstring& text) {
  const std::wstring shown = caption.empty() ? std::wstring(L"Ошибка") : caption;
  // The result does not matter: a box that cannot be shown counts as answered.
  MessageBoxW(GetActiveWindow(), text.c_str(), shown.c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

int ConfirmDialog(const std::wstring& text, ButtonSet buttons) {
  MessageBeep(0);
  HWND owner = GetActiveWindow();
  if (!owner && tk::Application::Instance()) owner = tk::Application::Instance()->MainWindow();
  ConfirmWindow dialog(text, buttons, owner);
  if (!dialog.Handle()) return kCancel;
  // The scope ends before the dialog goes: the other windows are enabled and the previous one
  // activated while the dialog still stands, so the system never picks another window.
  ModalScope scope(dialog.Handle());
  return dialog.RunModal();
}

}  // namespace base

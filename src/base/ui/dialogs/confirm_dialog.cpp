#include "base/ui/dialogs/confirm_dialog.h"

#include <cstring>

#include "toolkit/application.h"
#include "toolkit/error_report.h"
#include "toolkit/window_class.h"

namespace base {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;

// The message font from the non-client metrics; null when the query fails.
win::Font CreateMessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return {};
  return win::Font(CreateFontIndirectW(&metrics.lfMessageFont));
}

wchar_t UpperCase(wchar_t character) {
  CharUpperBuffW(&character, 1);
  return character;
}

// The letter after a single '&', upper case; 0 when the caption has none.
wchar_t AccessKey(const std::wstring& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != L'&') continue;
    if (caption[i + 1] != L'&') return UpperCase(caption[i + 1]);
    ++i;
  }
  return 0;
}

}  // namespace

const wchar_t* ButtonCaption(DialogButton kind) {
  switch (kind) {
    case kOk:
      return L"OK";
    case kCancel:
      return L"Отмена";
    case kAbort:
      return L"&Отказ";
    case kRetry:
      return L"&Повтор";
    case kIgnore:
      return L"&Игнор";
  }
  return L"";
}

std::wstring ConfirmClipboardText(const std::wstring& caption, const std::wstring& text,
                                  const std::vector<std::wstring>& captions) {
  const std::wstring rule = std::wstring(27, L'-') + L"\r\n";
  std::wstring row;
  for (const auto& buttonCaption : captions) {
    for (wchar_t character : buttonCaption)
      if (character != L'&') row += character;
    row += L"   ";
  }
  return rule + caption + L"\r\n" + rule + text + L"\r\n" + rule + row + L"\r\n" + rule;
}

ConfirmWindow::ConfirmWindow(const std::wstring& text, ButtonSet buttons, HWND owner)
    : text_(text), font_(CreateMessageFont()) {
  for (DialogButton kind : {kOk, kCancel, kAbort, kRetry, kIgnore}) {
    if (!(buttons & ButtonBit(kind))) continue;
    kinds_.push_back(kind);
    captions_.emplace_back(ButtonCaption(kind));
    accessKeys_.push_back(AccessKey(captions_.back()));
  }
  const HFONT font = font_ ? font_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  {
    win::WindowDc screen(nullptr);
    win::SelectGuard select(screen.get(), font);
    layout_ = LayoutConfirm(
        MeasureConfirm(screen.get(), text_, captions_, GetSystemMetrics(SM_CXSCREEN) / 2));
  }

  const HINSTANCE instance = GetModuleHandleW(nullptr);
  tk::RegisterWindowClass(kConfirmDialogClass, WindowProc, 0,
                          reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  RECT frame{0, 0, layout_.client.cx, layout_.client.cy};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  CreateWindowExW(kExStyle, kConfirmDialogClass, kConfirmDialogCaption, kStyle,
                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, owner, nullptr,
                  instance, this);
  if (window_) CreateChildren(font);
}

ConfirmWindow::~ConfirmWindow() {
  if (window_) DestroyWindow(window_);
}

void ConfirmWindow::CreateChildren(HFONT font) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const RECT& t = layout_.text;
  const HWND label =
      CreateWindowExW(0, L"STATIC", text_.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, t.left, t.top,
                      t.right - t.left, t.bottom - t.top, window_, nullptr, instance, nullptr);
  if (label) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    const RECT& b = layout_.buttons[i];
    const DWORD style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    const HWND button = CreateWindowExW(0, L"BUTTON", captions_[i].c_str(), style, b.left, b.top,
                                        b.right - b.left, b.bottom - b.top, window_,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kinds_[i])),
                                        instance, nullptr);
    if (!button) {
      // A dialog without all its buttons cannot be answered properly: treat it as not built.
      DestroyWindow(window_);
      return;
    }
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProc)));
    if (!buttonDefault_) buttonDefault_ = previous;
    buttons_.push_back(button);
  }
}

int ConfirmWindow::RunModal() {
  if (!window_) return kCancel;
  ShowWindow(window_, SW_SHOW);
  if (!buttons_.empty()) SetFocus(buttons_.front());
  tk::Application* app = tk::Application::Instance();
  while (answer_ == 0) {
    if (app) {
      app->HandleMessage();
      if (app->Terminated()) answer_ = kCancel;
      continue;
    }
    MSG message;
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
      // Leave the quit message for the loop that owns it.
      if (message.message == WM_QUIT) PostQuitMessage(static_cast<int>(message.wParam));
      answer_ = kCancel;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return answer_;
}

LRESULT CALLBACK ConfirmWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<ConfirmWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ConfirmWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->HandleWindowMessage(message, wParam, lParam);
  } catch (...) {
    tk::ReportCurrentException();
    return 0;
  }
}

LRESULT ConfirmWindow::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = window_;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        for (DialogButton kind : kinds_)
          if (LOWORD(wParam) == kind) answer_ = kind;
      }
      return 0;
    case WM_CLOSE:
      if (answer_ == 0) answer_ = kCancel;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window, &paint);
      DrawIconEx(dc, layout_.icon.left, layout_.icon.top,
                 LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_QUESTION)), 32, 32, 0, nullptr,
                 DI_NORMAL);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ACTIVATE:
      // Back to the button that had the focus, not to the dialog itself.
      if (LOWORD(wParam) != WA_INACTIVE && !buttons_.empty()) {
        SetFocus(buttons_[lastFocus_]);
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (HandleKey(wParam)) return 0;
      break;
    case WM_CHAR:
    case WM_SYSCHAR:
      if (PressAccessKey(static_cast<wchar_t>(wParam))) return 0;
      break;
    case WM_DESTROY:
      if (answer_ == 0) answer_ = kCancel;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      buttons_.clear();
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ConfirmWindow::ButtonProc(HWND button, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  // The dialog outlives its buttons: its own WM_NCDESTROY comes after theirs.
  auto* self =
      reinterpret_cast<ConfirmWindow*>(GetWindowLongPtrW(GetParent(button), GWLP_USERDATA));
  if (!self || !self->buttonDefault_) return DefWindowProcW(button, message, wParam, lParam);
  try {
    return self->HandleButtonMessage(button, message, wParam, lParam);
  } catch (...) {
    tk::ReportCurrentException();
    return 0;
  }
}

LRESULT ConfirmWindow::HandleButtonMessage(HWND button, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  switch (message) {
    case WM_SETFOCUS:
      ShowAsDefault(button);
      break;
    case WM_KEYDOWN:
      if (HandleKey(wParam)) return 0;
      break;
    case WM_CHAR:
      if (PressAccessKey(static_cast<wchar_t>(wParam))) return 0;
      // Enter, Tab, Esc and Ctrl+C are handled as keys; their characters mean nothing here.
      if (wParam < L' ') return 0;
      break;
    case WM_SYSCHAR:
      if (PressAccessKey(static_cast<wchar_t>(wParam))) return 0;
      break;
  }
  return CallWindowProcW(buttonDefault_, button, message, wParam, lParam);
}

bool ConfirmWindow::HandleKey(WPARAM key) {
  switch (key) {
    case VK_RETURN:
      if (!kinds_.empty()) answer_ = kinds_[FocusedIndex()];
      return true;
    case VK_ESCAPE:
      for (DialogButton kind : kinds_)
        if (kind == kCancel) answer_ = kCancel;
      return true;
    case VK_TAB:
      MoveFocus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
      return true;
    case VK_RIGHT:
    case VK_DOWN:
      MoveFocus(1);
      return true;
    case VK_LEFT:
    case VK_UP:
      MoveFocus(-1);
      return true;
    case 'C':
      if (GetKeyState(VK_CONTROL) >= 0) return false;
      MessageBeep(0);
      CopyToClipboard();
      return true;
  }
  return false;
}

bool ConfirmWindow::PressAccessKey(wchar_t character) {
  const wchar_t key = UpperCase(character);
  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    if (accessKeys_[i] != 0 && accessKeys_[i] == key) {
      answer_ = kinds_[i];
      return true;
    }
  }
  return false;
}

int ConfirmWindow::FocusedIndex() const {
  const HWND focus = GetFocus();
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i] == focus) return static_cast<int>(i);
  return lastFocus_;
}

void ConfirmWindow::MoveFocus(int step) {
  const int count = static_cast<int>(buttons_.size());
  if (count == 0) return;
  SetFocus(buttons_[(FocusedIndex() + step + count) % count]);
}

void ConfirmWindow::ShowAsDefault(HWND focused) {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const bool isFocused = buttons_[i] == focused;
    if (isFocused) lastFocus_ = static_cast<int>(i);
    SendMessageW(buttons_[i], BM_SETSTYLE, isFocused ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}

void ConfirmWindow::CopyToClipboard() const {
  const std::wstring text = ConfirmClipboardText(kConfirmDialogCaption, text_, captions_);
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  win::GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) return;
  void* data = GlobalLock(memory.get());
  if (!data) return;
  std::memcpy(data, text.c_str(), bytes);
  GlobalUnlock(memory.get());
  if (!OpenClipboard(window_)) return;
  EmptyClipboard();
  // Once the clipboard has the block, the system owns it.
  if (SetClipboardData(CF_UNICODETEXT, memory.get())) memory.release();
  CloseClipboard();
}

}  // namespace base

#include "setup/wizard/folder_browser.h"

#include <shlobj.h>

#include <memory>

#include "base/ui/dialogs/modal_scope.h"
#include "toolkit/error_report.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

struct ReleaseCom {
  void operator()(IUnknown* object) const { object->Release(); }
};

// Memory of the shell's allocator, freed with it.
class ShellMemory {
 public:
  ShellMemory(IMalloc& allocator, void* memory) : allocator_(allocator), memory_(memory) {}
  ~ShellMemory() {
    if (memory_) allocator_.Free(memory_);
  }
  ShellMemory(const ShellMemory&) = delete;
  ShellMemory& operator=(const ShellMemory&) = delete;
  void* get() const { return memory_; }

 private:
  IMalloc& allocator_;
  void* memory_;
};

// Opens the tree on the start folder once the browser is ready.
int CALLBACK SelectStartFolder(HWND dialog, UINT message, LPARAM, LPARAM startFolder) {
  try {
    if (message == BFFM_INITIALIZED) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, startFolder);
  } catch (...) {
    tk::ReportCurrentException();
  }
  return 0;
}

// The chosen folder as an ANSI path. A name that the ANSI code page cannot hold would come out
// with '?' in it and name another folder: the short (8.3) form is used then, and when even that
// cannot be held the choice is refused.
bool ToAnsiPath(const std::wstring& wide, std::string& ansi) {
  ansi = win::WideToAnsi(wide);
  if (win::AnsiToWide(ansi) == wide) return true;
  wchar_t shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameW(wide.c_str(), shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::wstring shortWide(shortPath, length);
  ansi = win::WideToAnsi(shortWide);
  return win::AnsiToWide(ansi) == shortWide;
}

}  // namespace

bool PickFolder(HWND owner, const std::wstring& caption, std::string& folder) {
  if (!win::DirectoryExistsQuiet(folder)) folder.clear();

  IMalloc* rawAllocator = nullptr;
  if (FAILED(SHGetMalloc(&rawAllocator)) || !rawAllocator) return false;
  const std::unique_ptr<IMalloc, ReleaseCom> allocator(rawAllocator);
  const ShellMemory buffer(*allocator, allocator->Alloc(MAX_PATH * sizeof(wchar_t)));
  if (!buffer.get()) return false;
  auto* text = static_cast<wchar_t*>(buffer.get());
  text[0] = L'\0';

  const std::wstring start = win::AnsiToWide(folder);
  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.pidlRoot = nullptr;  // the desktop
  request.pszDisplayName = text;
  request.lpszTitle = caption.c_str();
  request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  if (!folder.empty()) {
    request.lpfn = SelectStartFolder;
    request.lParam = reinterpret_cast<LPARAM>(start.c_str());
  }

  PIDLIST_ABSOLUTE chosen = nullptr;
  {
    const base::ModalScope disabled(nullptr);
    const win::ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
    chosen = SHBrowseForFolderW(&request);
  }
  if (!chosen) return false;
  const ShellMemory item(*allocator, chosen);

  // Only a choice that is a file-system folder gives a path; anything else counts as no choice.
  if (!SHGetPathFromIDListW(chosen, text)) return false;
  std::string path;
  if (!ToAnsiPath(text, path)) return false;
  folder = std::move(path);
  return true;
}

}  // namespace setup

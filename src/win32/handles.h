// One small owner type per Win32 handle kind. Each owns at most one handle, cannot be copied,
// can be moved, and releases its handle on every path. Every kind counts its live handles, so
// tests can show that nothing leaks (GetGuiResources and GetProcessHandleCount say 0 under Wine).
#pragma once

#include <windows.h>
// bcrypt.h needs the types windows.h declares.
#include <bcrypt.h>

#include <utility>

namespace win {

template <typename Traits>
class Owner {
 public:
  using Handle = typename Traits::Handle;

  Owner() = default;
  explicit Owner(Handle handle) : handle_(handle) {
    if (*this) ++live_;
  }
  ~Owner() { reset(); }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  Owner(Owner&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  Owner& operator=(Owner&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, Traits::Invalid());
    }
    return *this;
  }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }

  // Gives the handle up without closing it (its new owner is the system, say), and returns it.
  Handle release() {
    if (*this) --live_;
    return std::exchange(handle_, Traits::Invalid());
  }

  void reset(Handle handle = Traits::Invalid()) {
    if (*this) {
      Traits::Close(handle_);
      --live_;
    }
    handle_ = handle;
    if (*this) ++live_;
  }

  // How many handles of this kind are open right now.
  static long Live() { return live_; }

 private:
  Handle handle_ = Traits::Invalid();
  static inline long live_ = 0;  // the program has one thread
};

struct FileTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};
// A file opened with CreateFile (invalid value INVALID_HANDLE_VALUE).
using FileHandle = Owner<FileTraits>;

struct KernelTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};
// Processes, threads and other kernel objects whose invalid value is null.
using KernelHandle = Owner<KernelTraits>;

struct FindTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { FindClose(h); }
};
using FindHandle = Owner<FindTraits>;

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};
using RegKey = Owner<RegKeyTraits>;

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteDC(h); }
};
// A DC from CreateCompatibleDC.
using MemoryDc = Owner<MemoryDcTraits>;

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { GlobalFree(h); }
};
// A block from GlobalAlloc (clipboard data until SetClipboardData takes it over).
using GlobalMemory = Owner<GlobalMemoryTraits>;

struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { LocalFree(h); }
};
// A block the system allocated for the caller with LocalAlloc (a security descriptor from
// ConvertStringSecurityDescriptorToSecurityDescriptor, a message from FormatMessage).
using LocalMemory = Owner<LocalMemoryTraits>;

template <typename T>
struct GdiTraits {
  using Handle = T;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
using Bitmap = Owner<GdiTraits<HBITMAP>>;
using Brush = Owner<GdiTraits<HBRUSH>>;
using Font = Owner<GdiTraits<HFONT>>;
using Pen = Owner<GdiTraits<HPEN>>;
using Region = Owner<GdiTraits<HRGN>>;

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyWindow(h); }
};
// A top-level window made with CreateWindowEx (its child windows go with it).
using Window = Owner<WindowTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { FreeLibrary(h); }
};
// A DLL from LoadLibrary.
using Module = Owner<ModuleTraits>;

// A COM interface pointer, given back with Release.
template <typename Interface>
struct ComTraits {
  using Handle = Interface*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { h->Release(); }
};
template <typename Interface>
using ComPointer = Owner<ComTraits<Interface>>;

// CNG objects (bcrypt.dll). The program does not import bcrypt.dll: it is not one of the
// KnownDLLs, so a copy planted beside Setup.exe would be loaded in its place. sha256.cpp loads it
// from the system folder at first use, and these close through it.
void CloseCngAlgorithm(BCRYPT_ALG_HANDLE handle);
void DestroyCngHash(BCRYPT_HASH_HANDLE handle);

struct CngAlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseCngAlgorithm(h); }
};
// An algorithm provider from BCryptOpenAlgorithmProvider.
using CngAlgorithm = Owner<CngAlgorithmTraits>;

struct CngHashTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyCngHash(h); }
};
// A hash object from BCryptCreateHash; destroy it before its algorithm provider.
using CngHash = Owner<CngHashTraits>;

// A window's DC from GetDC, given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {
    if (dc_) ++live_;
  }
  ~WindowDc() {
    if (dc_) {
      ReleaseDC(window_, dc_);
      --live_;
    }
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  static long Live() { return live_; }

 private:
  HWND window_;
  HDC dc_;
  static inline long live_ = 0;
};

// Selects a GDI object into a DC for the lifetime of the guard, then puts the old one back.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectGuard() { SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Sets the process error mode for the lifetime of the guard, then restores the previous one.
class ScopedErrorMode {
 public:
  explicit ScopedErrorMode(UINT mode) : previous_(SetErrorMode(mode)) {}
  ~ScopedErrorMode() { SetErrorMode(previous_); }
  ScopedErrorMode(const ScopedErrorMode&) = delete;
  ScopedErrorMode& operator=(const ScopedErrorMode&) = delete;

 private:
  UINT previous_;
};

}  // namespace win

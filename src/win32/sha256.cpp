#include "win32/sha256.h"

#include <algorithm>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace win {

// The CNG functions, looked up in bcrypt.dll of the system folder (see handles.h for why it is
// not imported). The DLL stays loaded until the program ends.
struct Cng {
  Module module;
  decltype(&BCryptOpenAlgorithmProvider) openAlgorithm = nullptr;
  decltype(&BCryptCloseAlgorithmProvider) closeAlgorithm = nullptr;
  decltype(&BCryptCreateHash) createHash = nullptr;
  decltype(&BCryptHashData) hashData = nullptr;
  decltype(&BCryptFinishHash) finishHash = nullptr;
  decltype(&BCryptDestroyHash) destroyHash = nullptr;
};

namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& out) {
  out = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return out != nullptr;
}

Cng LoadCng() {
  Cng cng;
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return cng;
  Module module(LoadLibraryW((std::wstring(folder, length) + L"\\bcrypt.dll").c_str()));
  if (!module) return cng;
  const HMODULE m = module.get();
  if (Resolve(m, "BCryptOpenAlgorithmProvider", cng.openAlgorithm) &&
      Resolve(m, "BCryptCloseAlgorithmProvider", cng.closeAlgorithm) &&
      Resolve(m, "BCryptCreateHash", cng.createHash) &&
      Resolve(m, "BCryptHashData", cng.hashData) &&
      Resolve(m, "BCryptFinishHash", cng.finishHash) &&
      Resolve(m, "BCryptDestroyHash", cng.destroyHash)) {
    cng.module = std::move(module);
  }
  return cng;
}

// Null when bcrypt.dll or one of its functions is missing.
const Cng* GetCng() {
  static const Cng cng = LoadCng();
  return cng.module ? &cng : nullptr;
}

// Puts a file position back when it goes out of scope.
class KeepFilePosition {
 public:
  explicit KeepFilePosition(HANDLE file) : file_(file) {
    kept_ = SetFilePointerEx(file, LARGE_INTEGER{}, &position_, FILE_CURRENT) != FALSE;
  }
  ~KeepFilePosition() {
    if (kept_) SetFilePointerEx(file_, position_, nullptr, FILE_BEGIN);
  }
  KeepFilePosition(const KeepFilePosition&) = delete;
  KeepFilePosition& operator=(const KeepFilePosition&) = delete;
  bool kept() const { return kept_; }

 private:
  HANDLE file_;
  LARGE_INTEGER position_{};
  bool kept_;
};

}  // namespace

bool Sha256Hasher::Open() {
  cng_ = GetCng();
  failed_ = true;
  if (!cng_) return false;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(cng_->openAlgorithm(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  algorithm_.reset(algorithm);
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(cng_->createHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
    return false;
  }
  hash_.reset(hash);
  failed_ = false;
  return true;
}

bool Sha256Hasher::Add(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const UCHAR*>(data);
  while (!failed_ && size > 0) {
    const auto piece = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
    failed_ = !BCRYPT_SUCCESS(cng_->hashData(hash_.get(), const_cast<UCHAR*>(bytes), piece, 0));
    bytes += piece;
    size -= piece;
  }
  return !failed_;
}

std::optional<Sha256Digest> Sha256Hasher::Finish() {
  Sha256Digest digest{};
  if (failed_ || !cng_ ||
      !BCRYPT_SUCCESS(
          cng_->finishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
    return std::nullopt;
  }
  failed_ = true;  // a CNG hash is finished once
  return digest;
}

void CloseCngAlgorithm(BCRYPT_ALG_HANDLE handle) {
  if (const Cng* cng = GetCng()) cng->closeAlgorithm(handle, 0);
}

void DestroyCngHash(BCRYPT_HASH_HANDLE handle) {
  if (const Cng* cng = GetCng()) cng->destroyHash(handle);
}

std::optional<Sha256Digest> Sha256(std::string_view bytes) {
  Sha256Hasher hasher;
  if (!hasher.Open() || !hasher.Add(bytes.data(), bytes.size())) return std::nullopt;
  return hasher.Finish();
}

std::optional<Sha256Digest> Sha256OfFile(HANDLE file, std::uint64_t length) {
  Sha256Hasher hasher;
  if (!hasher.Open()) return std::nullopt;
  const KeepFilePosition keep(file);
  if (!keep.kept() || !SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) {
    return std::nullopt;
  }
  constexpr DWORD kPiece = 64 * 1024;
  std::vector<unsigned char> buffer(kPiece);
  while (length > 0) {
    const auto want = static_cast<DWORD>(std::min<std::uint64_t>(length, kPiece));
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), want, &got, nullptr) || got == 0) return std::nullopt;
    if (!hasher.Add(buffer.data(), got)) return std::nullopt;
    length -= got;
  }
  return hasher.Finish();
}

std::optional<Sha256Digest> Sha256OfWholeFile(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return std::nullopt;
  return Sha256OfFile(file, static_cast<std::uint64_t>(size.QuadPart));
}

}  // namespace win

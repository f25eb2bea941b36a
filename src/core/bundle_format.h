// One-file installers: Setup.exe with its package archives appended behind its image.
//
//   [PE image: headers and sections][archive][0-7 zero bytes]...[trailer]
//   [0-7 zero bytes][certificate table]        <- only when the file is signed
//
// The trailer (48 bytes, integers unsigned little-endian) says where each archive lies:
//   0  u64 ProgramFiles.dt offset (from the start of the file)   8  u64 its length
//  16  u64 SystemFiles.dt offset                                24  u64 its length
//  32  u32 flags: bit 0 ProgramFiles.dt present, bit 1 SystemFiles.dt present
//  36  u32 version (1)
//  40  8 bytes "DTBUNDLE"
// An archive that is not present has offset and length 0. Each archive starts on a multiple of 8
// bytes, so the trailer ends on one too and a signing tool adds no padding of its own.
//
// Reading never searches: the trailer ends where the file ends, or, in a signed file, directly
// before the certificate table (after at most 7 zero bytes of alignment), which must run exactly
// to the end of the file. Each archive must lie wholly between the end of the image and the
// trailer, and the two may not overlap. The packaging tool and the installer share this code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/archive_format.h"
#include "core/pe_image.h"

namespace dt {

inline constexpr std::size_t kBundledArchives = 2;
// The archives in the order the installer unpacks them.
inline constexpr std::array<std::string_view, kBundledArchives> kBundledNames = {"ProgramFiles.dt",
                                                                                 "SystemFiles.dt"};
inline constexpr std::size_t kTrailerSize = 48;
inline constexpr std::string_view kTrailerMagic = "DTBUNDLE";
inline constexpr std::uint32_t kTrailerVersion = 1;
inline constexpr std::uint64_t kBundleAlignment = 8;

// Where one archive lies inside the program's file.
struct ArchiveWindow {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  bool operator==(const ArchiveWindow&) const = default;
};

using BundleWindows = std::array<std::optional<ArchiveWindow>, kBundledArchives>;

struct BundleLayout {
  enum class Kind {
    kPlain,   // nothing behind the image: the archives lie beside the program
    kBundle,  // a valid trailer: the archives present lie in `archives`
    kBroken,  // bytes behind the image, but no valid trailer: every archive fails to open
  };
  Kind kind = Kind::kPlain;
  BundleWindows archives;
  std::string problem;  // kBroken: why, for tools and the log
  PeImage image;
  std::uint64_t dataEnd = 0;  // where the appended data (and the trailer) end
};

// Decides what an executable carries. `file` must be a PE image (see ReadPeImage); nothing, with
// the reason in `problem`, when it is not.
std::optional<BundleLayout> ReadBundleLayout(ByteSource& file, std::string& problem);

// Places the archives of the given lengths (nothing for one not given) behind an image of
// imageSize bytes, in the installer's order, each starting on a multiple of 8 bytes.
BundleWindows LayOutBundle(
    std::uint64_t imageSize,
    const std::array<std::optional<std::uint64_t>, kBundledArchives>& lengths);

// Where the trailer starts behind the last archive (or the image): on a multiple of 8 bytes.
std::uint64_t TrailerOffset(std::uint64_t imageSize, const BundleWindows& windows);

// A whole one-file installer in memory (tests, small tools): the stub, its archives, the trailer.
std::string BuildBundle(std::string_view stub,
                        const std::array<std::optional<std::string>, kBundledArchives>& archives);

// The trailer for the given windows (nothing for an archive not present).
std::string EncodeTrailer(const BundleWindows& archives);

// Checks a trailer read from [imageEnd, trailerStart + kTrailerSize): the archives' windows, or
// nothing with the reason in `problem`.
std::optional<BundleWindows> DecodeTrailer(std::span<const std::byte, kTrailerSize> trailer,
                                           std::uint64_t imageEnd, std::uint64_t trailerStart,
                                           std::string& problem);

// The bytes of one window of a file, as an archive of their own: offsets count from the window's
// start, and nothing beyond its end can be read.
class WindowSource final : public ByteSource {
 public:
  WindowSource(ByteSource& file, ArchiveWindow window) : file_(file), window_(window) {}
  std::size_t Read(std::span<std::byte> dst) override;
  bool Seek(std::uint64_t offset) override;
  std::optional<std::uint64_t> Size() override { return window_.length; }

 private:
  ByteSource& file_;
  ArchiveWindow window_;
  std::uint64_t pos_ = 0;
  bool positioned_ = false;  // the file's position is window start + pos_
};

}  // namespace dt

#include "core/bundle_format.h"

#include <algorithm>
#include <cstring>

namespace dt {
namespace {

std::uint64_t U64(const std::byte* p) {
  return static_cast<std::uint32_t>(DecodeInt32(p)) |
         std::uint64_t{static_cast<std::uint32_t>(DecodeInt32(p + 4))} << 32;
}
std::uint32_t U32(const std::byte* p) {
  return static_cast<std::uint32_t>(DecodeInt32(p));
}

void AppendU64(std::string& out, std::uint64_t v) {
  AppendInt32(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
  AppendInt32(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(v >> 32)));
}

// A signed file is padded with up to 7 zero bytes before its certificate table; they belong to
// neither the image nor the appended data.
std::optional<std::uint64_t> SkipAlignment(ByteSource& file, std::uint64_t end,
                                           std::uint64_t floor) {
  const std::uint64_t span = std::min<std::uint64_t>(kBundleAlignment - 1, end - floor);
  std::array<std::byte, kBundleAlignment - 1> tail{};
  if (span == 0) return end;
  if (!ReadAt(file, end - span, std::span(tail).first(span))) return std::nullopt;
  std::uint64_t zeros = 0;
  while (zeros < span && tail[span - 1 - zeros] == std::byte{0}) ++zeros;
  return end - zeros;
}

std::uint64_t AlignUp(std::uint64_t v) {
  return (v + kBundleAlignment - 1) / kBundleAlignment * kBundleAlignment;
}

// Whether [offset, offset + size) holds what a certificate table holds: one or more entries
// (WIN_CERTIFICATE: length, revision 1.0 or 2.0, type), each padded to 8 bytes, that fill it
// exactly. The table's place in the headers lies outside the signature's hash: without this, a
// header changed to call the appended data a certificate table would make a one-file installer
// look plain, and send it looking for archives beside it.
bool IsCertificateTable(ByteSource& file, std::uint64_t offset, std::uint64_t size) {
  const std::uint64_t end = offset + size;
  if (size == 0) return false;
  while (offset < end) {
    std::array<std::byte, 8> header;
    if (end - offset < header.size() || !ReadAt(file, offset, header)) return false;
    const std::uint32_t length = U32(header.data());
    const auto revision = static_cast<std::uint16_t>(std::to_integer<unsigned>(header[4]) |
                                                     std::to_integer<unsigned>(header[5]) << 8);
    if (length < header.size() || length > end - offset) return false;
    if (revision != 0x0100 && revision != 0x0200) return false;
    offset += std::min<std::uint64_t>(AlignUp(length), end - offset);
  }
  return true;
}

}  // namespace

BundleWindows LayOutBundle(
    std::uint64_t imageSize,
    const std::array<std::optional<std::uint64_t>, kBundledArchives>& lengths) {
  BundleWindows windows;
  std::uint64_t at = AlignUp(imageSize);
  for (std::size_t i = 0; i < kBundledArchives; ++i) {
    if (!lengths[i]) continue;
    windows[i] = ArchiveWindow{at, *lengths[i]};
    at = AlignUp(at + *lengths[i]);
  }
  return windows;
}

std::uint64_t TrailerOffset(std::uint64_t imageSize, const BundleWindows& windows) {
  std::uint64_t end = imageSize;
  for (const auto& w : windows) {
    if (w) end = std::max(end, w->offset + w->length);
  }
  return AlignUp(end);
}

std::string BuildBundle(std::string_view stub,
                        const std::array<std::optional<std::string>, kBundledArchives>& archives) {
  std::array<std::optional<std::uint64_t>, kBundledArchives> lengths;
  for (std::size_t i = 0; i < kBundledArchives; ++i) {
    if (archives[i]) lengths[i] = archives[i]->size();
  }
  const BundleWindows windows = LayOutBundle(stub.size(), lengths);
  std::string out(stub);
  for (std::size_t i = 0; i < kBundledArchives; ++i) {
    if (!windows[i]) continue;
    out.resize(windows[i]->offset, '\0');
    out += *archives[i];
  }
  out.resize(TrailerOffset(stub.size(), windows), '\0');
  return out + EncodeTrailer(windows);
}

std::string EncodeTrailer(const BundleWindows& archives) {
  std::string out;
  std::uint32_t flags = 0;
  for (std::size_t i = 0; i < kBundledArchives; ++i) {
    const ArchiveWindow w = archives[i].value_or(ArchiveWindow{});
    AppendU64(out, w.offset);
    AppendU64(out, w.length);
    if (archives[i]) flags |= 1u << i;
  }
  AppendInt32(out, static_cast<std::int32_t>(flags));
  AppendInt32(out, static_cast<std::int32_t>(kTrailerVersion));
  out += kTrailerMagic;
  return out;
}

std::optional<BundleWindows> DecodeTrailer(std::span<const std::byte, kTrailerSize> t,
                                           std::uint64_t imageEnd, std::uint64_t trailerStart,
                                           std::string& problem) {
  const auto fail = [&problem](std::string why) {
    problem = std::move(why);
    return std::nullopt;
  };
  if (std::memcmp(t.data() + 40, kTrailerMagic.data(), kTrailerMagic.size()) != 0) {
    return fail("no bundle trailer at the end of the appended data");
  }
  if (U32(t.data() + 36) != kTrailerVersion) return fail("unknown bundle trailer version");
  const std::uint32_t flags = U32(t.data() + 32);
  if ((flags & ~((1u << kBundledArchives) - 1)) != 0) return fail("unknown bundle trailer flags");

  BundleWindows archives;
  for (std::size_t i = 0; i < kBundledArchives; ++i) {
    const ArchiveWindow w{U64(t.data() + 16 * i), U64(t.data() + 16 * i + 8)};
    const std::string name(kBundledNames[i]);
    if ((flags & (1u << i)) == 0) {
      if (w != ArchiveWindow{}) return fail("the trailer gives a window to the absent " + name);
      continue;
    }
    if (w.offset < imageEnd || w.offset > trailerStart || w.length > trailerStart - w.offset) {
      return fail("the window of " + name + " lies outside the appended data");
    }
    if (w.length >= kMaxArchiveSize) return fail(name + " is 2 GiB or larger");
    archives[i] = w;
  }
  const auto& a = archives[0];
  const auto& b = archives[1];
  if (a && b && a->length > 0 && b->length > 0 && a->offset < b->offset + b->length &&
      b->offset < a->offset + a->length) {
    return fail("the windows of the archives overlap");
  }
  return archives;
}

std::optional<BundleLayout> ReadBundleLayout(ByteSource& file, std::string& problem) {
  const auto image = ReadPeImage(file, problem);
  if (!image) return std::nullopt;
  const auto size = file.Size();
  if (!size) {
    problem = "the size of the file cannot be told";
    return std::nullopt;
  }
  BundleLayout layout;
  layout.image = *image;
  const auto broken = [&layout](std::string why) {
    layout.kind = BundleLayout::Kind::kBroken;
    layout.problem = std::move(why);
    return layout;
  };
  if (*size < image->imageEnd) return broken("the file ends inside its image");

  std::uint64_t end = *size;
  if (image->HasCertificateTable()) {
    const std::uint64_t certEnd = std::uint64_t{image->certOffset} + image->certSize;
    if (image->certOffset < image->imageEnd || certEnd != *size) {
      return broken(
          "the certificate table does not run from behind the image to the end of the file");
    }
    if (!IsCertificateTable(file, image->certOffset, image->certSize)) {
      return broken("the certificate table holds no certificates");
    }
    const auto aligned = SkipAlignment(file, image->certOffset, image->imageEnd);
    if (!aligned) return broken("the file cannot be read");
    end = *aligned;
  }
  layout.dataEnd = end;
  if (end == image->imageEnd) return layout;  // kPlain

  if (end - image->imageEnd < kTrailerSize)
    return broken("the appended data are too short for a trailer");
  const std::uint64_t trailerStart = end - kTrailerSize;
  std::array<std::byte, kTrailerSize> trailer;
  if (!ReadAt(file, trailerStart, trailer)) return broken("the trailer cannot be read");
  std::string why;
  const auto archives = DecodeTrailer(trailer, image->imageEnd, trailerStart, why);
  if (!archives) return broken(why);
  layout.kind = BundleLayout::Kind::kBundle;
  layout.archives = *archives;
  return layout;
}

std::size_t WindowSource::Read(std::span<std::byte> dst) {
  if (pos_ >= window_.length) return 0;
  if (!positioned_) {
    if (!file_.Seek(window_.offset + pos_)) return 0;
    positioned_ = true;
  }
  const auto want =
      static_cast<std::size_t>(std::min<std::uint64_t>(dst.size(), window_.length - pos_));
  const std::size_t got = file_.Read(dst.first(want));
  pos_ += got;
  return got;
}

bool WindowSource::Seek(std::uint64_t offset) {
  // As with a file, positioning past the end is allowed; the next read then yields nothing.
  pos_ = offset;
  positioned_ = false;
  return true;
}

}  // namespace dt

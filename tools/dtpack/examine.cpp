#include "examine.h"

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "console.h"
#include "core/archive_format.h"
#include "core/archive_rules.h"
#include "core/bundle_format.h"
#include "core/stream_source.h"
#include "file_below.h"
#include "seal.h"
#include "unpack_rules.h"

namespace dtpack {
namespace fs = std::filesystem;

namespace {

// The directory of an opened archive; nothing, with a message, when its EntryCount is out of range.
std::optional<dt::Directory> OpenDirectory(const std::string& shown, dt::ByteSource& source,
                                           std::ostream& err) {
  dt::Directory dir = dt::ReadDirectory(source);
  if (dir.formatError) {
    err << "dtpack: \"" << shown << "\": EntryCount is outside 1..1024\n";
    return std::nullopt;
  }
  return dir;
}

// One archive to examine: a file of its own (name empty), or one inside a one-file installer.
using ArchiveVisitor =
    std::function<int(dt::ByteSource& source, const std::string& shown, std::string_view name)>;

// Calls `visit` for the archive file, or for each archive inside a one-file installer (shown as
// "Setup.exe\ProgramFiles.dt"); the worst exit status. Problems with the file itself go to
// `report`, each line after `lead`.
int ForEachArchive(const fs::path& path, std::ostream& report, const std::string& lead,
                   const ArchiveVisitor& visit) {
  const std::string shown = ShowPath(path);
  dt::StreamSource source(path);
  if (!source.is_open()) {
    report << lead << "cannot open \"" << shown << "\"\n";
    return 1;
  }
  std::array<std::byte, 2> magic{};
  const bool executable =
      source.Read(magic) == 2 && magic[0] == std::byte{'M'} && magic[1] == std::byte{'Z'};
  source.Seek(0);
  if (!executable) return visit(source, shown, {});

  std::string problem;
  const auto layout = dt::ReadBundleLayout(source, problem);
  if (layout && layout->kind == dt::BundleLayout::Kind::kPlain) {
    problem = "a program without archives behind its image";
  } else if (layout && layout->kind == dt::BundleLayout::Kind::kBroken) {
    problem = "a broken one-file installer: " + layout->problem;
  }
  if (!layout || layout->kind != dt::BundleLayout::Kind::kBundle) {
    report << lead << "\"" << shown << "\": " << problem << '\n';
    return 1;
  }
  int status = 0;
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    if (!layout->archives[i]) continue;
    dt::WindowSource window(source, *layout->archives[i]);
    const std::string name(dt::kBundledNames[i]);
    status = std::max(status, visit(window, shown + "\\" + name, name));
  }
  return status;
}

}  // namespace

int VerifyArchive(dt::ByteSource& source, const std::string& lead, std::ostream& out) {
  int problems = 0;
  const auto problem = [&](const std::string& text) {
    out << lead << text << '\n';
    ++problems;
  };
  const std::uint64_t fileSize = source.Size().value_or(0);
  if (fileSize >= dt::kMaxArchiveSize) problem("the archive is 2 GiB or larger");

  std::array<std::byte, 4> raw{};
  const std::size_t got = source.Read(raw);
  const std::int32_t count = got == 4 ? dt::DecodeInt32(raw.data()) : 0;
  if (got < 4) {
    problem("the archive is too short to hold an EntryCount");
  } else if (count < dt::kMinEntryCount || count > dt::kMaxEntryCount) {
    problem("EntryCount " + std::to_string(count) + " is outside 1..1024");
  }
  source.Seek(0);
  const dt::Directory dir = dt::ReadDirectory(source);
  if (!dir.formatError && dir.items.size() != static_cast<std::size_t>(count)) {
    problem("the directory breaks off after " + std::to_string(dir.items.size()) + " of " +
            std::to_string(count) + " entries");
  }

  std::vector<std::byte> buffer(1 << 16);
  for (std::size_t i = 0; i < dir.items.size(); ++i) {
    const auto& item = dir.items[i];
    const std::string where = "entry " + std::to_string(i + 1) + " (" + ShowStored(item.Name) + ")";
    for (const auto& finding : dt::CheckStoredPath(item.Name)) {
      if (finding.fatal) {
        problem(where + ": " + finding.message);
      } else {
        out << lead << "warning: " << where << ": " << finding.message << '\n';
      }
    }
    if (item.Offset < 0) {
      problem(where + ": Offset " + std::to_string(item.Offset) + " is negative");
      continue;
    }
    const auto size = dt::ReadPayloadSize(source, item);
    if (!size) {
      problem(where + ": the payload record at " + std::to_string(item.Offset) +
              " has no readable PayloadSize");
      continue;
    }
    if (*size == 0) {
      problem(where + ": PayloadSize is 0, which the installer cannot unpack");
      continue;
    }
    auto content = dt::ContentReader::Open(source, item, *size);
    if (!content) {
      problem(where + ": the payload of " + std::to_string(*size) +
              " bytes reaches past the end of the archive");
      continue;
    }
    std::optional<std::size_t> n;
    while ((n = content->Next(buffer)) && *n > 0) {
    }
    if (!n) problem(where + ": the payload cannot be read");
  }
  if (problems == 0) out << lead << "ok: " << dir.items.size() << " entries\n";
  return problems == 0 ? 0 : 1;
}

namespace {

// Checks every entry of one archive before anything is written: one line for each entry that
// unpack refuses, by its stored path or because a level it would be written through is a symbolic
// link. `base` is the archive's own folder below `root` (empty for an archive file).
int CheckOne(dt::ByteSource& source, const std::string& shown, const fs::path& root,
             const fs::path& base, std::ostream& err) {
  const auto directory = OpenDirectory(shown, source, err);
  if (!directory) return 1;
  int status = 0;
  for (std::size_t i = 0; i < directory->items.size(); ++i) {
    const auto& item = directory->items[i];
    std::string why = UnpackRefusal(item.Name);
    if (why.empty()) {
      if (const auto link = LinkBelow(root, base / UnpackedPath(item.Name))) {
        why = "\"" + ShowPath(*link) + "\" is a symbolic link, which could lead out of the folder";
      }
    }
    if (why.empty()) continue;
    err << "dtpack: \"" << shown << "\": entry " << i + 1 << " (" << ShowStored(item.Name)
        << "): " << why << '\n';
    status = 1;
  }
  return status;
}

// Unpacks one archive below root, into its folder `base`; one line per file written.
int UnpackOne(dt::ByteSource& source, const std::string& shown, const fs::path& root,
              const fs::path& base, std::ostream& out, std::ostream& err) {
  const auto directory = OpenDirectory(shown, source, err);
  if (!directory) return 1;
  std::vector<std::byte> buffer(1 << 16);
  int status = 0;
  for (const auto& item : directory->items) {
    const std::string stored = ShowStored(item.Name);
    const fs::path relative = base / UnpackedPath(item.Name);
    const auto size = dt::ReadPayloadSize(source, item);
    auto content = size ? dt::ContentReader::Open(source, item, *size) : std::nullopt;
    std::string why;
    auto file = content ? FileBelow::Create(root, relative, why) : std::nullopt;
    if (!file) {
      err << "dtpack: " << stored << ": " << (content ? why : "the payload cannot be read") << '\n';
      status = 1;
      continue;
    }
    std::optional<std::size_t> n;
    while ((n = content->Next(buffer)) && *n > 0 && file->Write(std::span(buffer.data(), *n))) {
    }
    const bool written = file->Close();
    if (!n || !written) {
      err << "dtpack: " << stored << ": "
          << (n ? "cannot write \"" + ShowPath(root / relative) + "\""
                : "the payload cannot be read")
          << '\n';
      status = 1;
      continue;
    }
    out << ShowPath(root / relative) << '\n';
  }
  return status;
}

}  // namespace

int List(const fs::path& archive, std::ostream& out, std::ostream& err) {
  return ForEachArchive(
      archive, err,
      "dtpack: ", [&](dt::ByteSource& source, const std::string& shown, std::string_view name) {
        const auto dir = OpenDirectory(shown, source, err);
        if (!dir) return 1;
        if (!name.empty()) out << name << ":\n";
        int status = 0;
        for (const auto& item : dir->items) {
          const auto size = dt::ReadPayloadSize(source, item);
          out << (size ? std::to_string(*size) : std::string("?")) << '\t' << item.Offset << '\t'
              << ShowStored(item.Name) << '\n';
          if (!size) status = 1;
        }
        return status;
      });
}

int Verify(const fs::path& archive, std::ostream& out) {
  const int status = ForEachArchive(
      archive, out, "", [&](dt::ByteSource& source, const std::string&, std::string_view name) {
        return VerifyArchive(source, name.empty() ? std::string() : std::string(name) + ": ", out);
      });
  // A sealed one-file installer: the archives inside it against its seal as well.
  return std::max(status, VerifyBundleSeal(archive, out));
}

int Unpack(const fs::path& archive, const fs::path& root, std::ostream& out, std::ostream& err) {
  // The archives of a one-file installer each get a folder: DIR/ProgramFiles, DIR/SystemFiles.
  const auto base = [](std::string_view name) {
    return name.empty() ? fs::path() : fs::path(name).stem();
  };
  // Every entry of every archive is checked before anything, DIR included, is written.
  const int refused = ForEachArchive(
      archive, err,
      "dtpack: ", [&](dt::ByteSource& source, const std::string& shown, std::string_view name) {
        return CheckOne(source, shown, root, base(name), err);
      });
  if (refused != 0) {
    err << "dtpack: nothing unpacked\n";
    return refused;
  }
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ec) {
    err << "dtpack: cannot create \"" << ShowPath(root) << "\": " << ec.message() << '\n';
    return 1;
  }
  return ForEachArchive(
      archive, err,
      "dtpack: ", [&](dt::ByteSource& source, const std::string& shown, std::string_view name) {
        return UnpackOne(source, shown, root, base(name), out, err);
      });
}

}  // namespace dtpack

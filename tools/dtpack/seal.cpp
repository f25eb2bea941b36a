#include "seal.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "console.h"
#include "core/install_record.h"
#include "core/sha256.h"
#include "core/stream_source.h"
#include "examine.h"
#include "output.h"
#include "pack.h"
#include "program.h"

namespace dtpack {
namespace fs = std::filesystem;

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

// Which archive a file's name says it is (ProgramFiles.dt, SystemFiles.dt in any letter case).
std::optional<std::size_t> ArchiveNamed(const fs::path& path) {
  const std::string name = ShowPath(path.filename());
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    if (SameNameIgnoringCase(name, dt::kBundledNames[i])) return i;
  }
  return std::nullopt;
}

// An archive given to seal: checked as dtpack verify checks it, then measured.
dt::SealedArchive CheckedArchive(const fs::path& path) {
  const std::string shown = ShowPath(path);
  FileSize(path);  // a regular file
  dt::StreamSource source(path);
  if (!source.is_open()) throw InputError("cannot open \"" + shown + "\"");
  std::ostringstream report;
  if (VerifyArchive(source, "  ", report) != 0) {
    throw InputError("\"" + shown + "\" does not pass dtpack verify:\n" +
                     report.str().substr(0, report.str().size() - 1));
  }
  source.Seek(0);
  const dt::SealedArchive measured = Measure(source);
  if (measured.size != source.Size()) {
    throw InputError("\"" + shown + "\" changed while it was read");
  }
  return measured;
}

// Compares one archive with what the seal says of it: one line after `lead`; 1 when it differs.
int CompareWithSeal(dt::ByteSource& archive, const dt::SealedArchive& sealed,
                    const std::string& lead, std::ostream& out) {
  const dt::SealedArchive found = Measure(archive);
  if (found.size != sealed.size) {
    out << lead << found.size << " bytes, where the seal says " << sealed.size << '\n';
    return 1;
  }
  if (found.sha256 != sealed.sha256) {
    out << lead << "its SHA-256 " << dt::Sha256Hex(found.sha256) << " is not the sealed "
        << dt::Sha256Hex(sealed.sha256) << '\n';
    return 1;
  }
  out << lead << "ok: as sealed\n";
  return 0;
}

int CompareFileWithSeal(const fs::path& path, const std::optional<dt::SealedArchive>& sealed,
                        std::ostream& out) {
  const std::string lead = ShowPath(path) + ": ";
  if (!sealed) {
    out << lead << "not named by the seal: the sealed program does not use it\n";
    return 1;
  }
  dt::StreamSource source(path);
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || !source.is_open()) {
    out << lead << "cannot open\n";
    return 1;
  }
  return CompareWithSeal(source, *sealed, lead, out);
}

// The archives beside a three-file distribution's program, by the installer's names in any
// letter case (as Windows finds them).
std::array<std::vector<fs::path>, dt::kBundledArchives> ArchivesBeside(const fs::path& setup) {
  std::array<std::vector<fs::path>, dt::kBundledArchives> found;
  fs::path dir = setup.parent_path();
  if (dir.empty()) dir = ".";
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    if (const auto i = ArchiveNamed(it->path())) found[*i].push_back(it->path());
  }
  for (auto& paths : found) std::sort(paths.begin(), paths.end());
  return found;
}

// The archives inside a one-file installer against its seal, each line after `lead`.
int CheckBundleAgainstSeal(dt::ByteSource& file, const dt::BundleLayout& layout,
                           const dt::Seal& seal, const std::string& lead, std::ostream& out) {
  int status = 0;
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    const std::string name(dt::kBundledNames[i]);
    const auto& window = layout.archives[i];
    const auto& sealed = seal.archives[i];
    if (!window && !sealed) continue;
    if (!window) {
      out << lead << name << ": named by the seal, but not in the installer\n";
      status = 1;
    } else if (!sealed) {
      out << lead << name << ": in the installer, but not named by its seal\n";
      status = 1;
    } else {
      dt::WindowSource archive(file, *window);
      status = std::max(status, CompareWithSeal(archive, *sealed, lead + name + ": ", out));
    }
  }
  return status;
}

}  // namespace

dt::SealedArchive Measure(dt::ByteSource& archive) {
  std::vector<std::byte> buffer(1 << 20);
  dt::Sha256 hash;
  std::uint64_t size = 0;
  while (const std::size_t n = archive.Read(buffer)) {
    hash.Add(buffer.data(), n);
    size += n;
  }
  return {size, hash.Finish()};
}

SealReport SealSetup(const SealInputs& inputs) {
  if (!inputs.archives[0] && !inputs.archives[1]) {
    throw InputError("nothing to seal: give --program-files, --system-files or both");
  }
  std::vector<fs::path> all = {inputs.setup};
  for (const auto& archive : inputs.archives) {
    if (archive) all.push_back(*archive);
  }
  RefuseOutputAmongInputs(inputs.out, all);
  const Stub stub = ReadStub(inputs.setup, "seal", /*requireSeal=*/true);

  SealReport report;
  report.seal.sealed = true;
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    if (!inputs.archives[i]) continue;
    report.seal.archives[i] = CheckedArchive(*inputs.archives[i]);
    // Beside the program, the installer finds the archive by this name only.
    if (ArchiveNamed(*inputs.archives[i]) != i) {
      report.warnings.push_back("\"" + ShowPath(*inputs.archives[i]) +
                                "\": the sealed program looks for it as " +
                                std::string(dt::kBundledNames[i]));
    }
  }
  WriteThroughTemporary(inputs.out, all, [&](std::ofstream& file) {
    ProgramWriter writer(file, stub);
    writer.Finish(dt::EncodeSeal(report.seal));
    report.bytes = writer.Size();
  });
  return report;
}

int VerifySealed(const fs::path& setup, const std::vector<fs::path>& archives, std::ostream& out) {
  const std::string shown = ShowPath(setup);
  dt::StreamSource file(setup);
  std::error_code ec;
  if (!fs::is_regular_file(setup, ec) || !file.is_open()) {
    out << "cannot open \"" << shown << "\"\n";
    return 1;
  }
  std::string problem;
  const auto layout = dt::ReadBundleLayout(file, problem);
  if (!layout) {
    out << "\"" << shown << "\": " << problem << '\n';
    return 1;
  }
  if (layout->kind == dt::BundleLayout::Kind::kBroken) {
    out << "\"" << shown << "\": a broken one-file installer: " << layout->problem << '\n';
    return 1;
  }
  const FoundSeal found = FindSeal(file, layout->image);
  if (found.kind == FoundSeal::Kind::kNoBlock) {
    out << "\"" << shown << "\" has no seal block (" << found.problem << ")\n";
    return 1;
  }
  if (found.kind == FoundSeal::Kind::kDamaged) {
    out << "\"" << shown << "\": " << found.problem << '\n';
    return 1;
  }
  if (!found.seal.sealed) {
    out << "\"" << shown << "\" is not sealed: it takes any archives\n";
    return 1;
  }

  if (layout->kind == dt::BundleLayout::Kind::kBundle) {
    int status = CheckBundleAgainstSeal(file, *layout, found.seal, "", out);
    for (const fs::path& archive : archives) {
      out << ShowPath(archive) << ": \"" << shown
          << "\" is a one-file installer: it uses only the archives inside it\n";
      status = 1;
    }
    return status;
  }

  int status = 0;
  if (archives.empty()) {
    const auto beside = ArchivesBeside(setup);
    for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
      if (beside[i].empty() && found.seal.archives[i]) {
        fs::path expected = setup.parent_path() / dt::kBundledNames[i];
        out << ShowPath(expected) << ": missing, but the seal names it\n";
        status = 1;
      }
      for (const fs::path& path : beside[i]) {
        status = std::max(status, CompareFileWithSeal(path, found.seal.archives[i], out));
      }
    }
    return status;
  }

  std::array<std::optional<fs::path>, dt::kBundledArchives> given;
  for (const fs::path& path : archives) {
    const auto i = ArchiveNamed(path);
    if (!i) {
      out << ShowPath(path) << ": neither ProgramFiles.dt nor SystemFiles.dt by its name\n";
      status = 1;
    } else if (given[*i]) {
      out << ShowPath(path) << ": a second " << dt::kBundledNames[*i] << '\n';
      status = 1;
    } else {
      given[*i] = path;
      status = std::max(status, CompareFileWithSeal(path, found.seal.archives[*i], out));
    }
  }
  return status;
}

int VerifyBundleSeal(const fs::path& installer, std::ostream& out) {
  dt::StreamSource file(installer);
  if (!file.is_open()) return 0;
  std::array<std::byte, 2> magic{};
  if (file.Read(magic) != 2 || magic[0] != std::byte{'M'} || magic[1] != std::byte{'Z'}) return 0;
  std::string problem;
  const auto layout = dt::ReadBundleLayout(file, problem);
  if (!layout || layout->kind != dt::BundleLayout::Kind::kBundle) return 0;
  const FoundSeal found = FindSeal(file, layout->image);
  if (found.kind == FoundSeal::Kind::kDamaged) {
    out << "seal: " << found.problem << '\n';
    return 1;
  }
  if (found.kind == FoundSeal::Kind::kNoBlock || !found.seal.sealed) return 0;
  return CheckBundleAgainstSeal(file, *layout, found.seal, "seal: ", out);
}

}  // namespace dtpack

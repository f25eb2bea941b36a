#include "setup/run/disk_space.h"

#include <windows.h>

#include <map>
#include <optional>
#include <set>
#include <stdexcept>

#include "core/archive_format.h"
#include "core/text.h"
#include "setup/run/archive_source.h"
#include "setup/run/folder_macros.h"
#include "win32/file_source.h"
#include "win32/files.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

constexpr std::uint64_t kMiB = 1u << 20;

// The volume of the nearest existing folder at or above `folder`; nothing when no folder on the
// way exists or the system cannot tell.
std::optional<std::string> VolumeOf(std::string folder) {
  while (!win::DirectoryExistsQuiet(folder)) {
    const std::string trimmed = dt::TrimTrailingBackslashes(folder);
    const std::size_t slash = trimmed.rfind('\\');
    if (slash == std::string::npos) return std::nullopt;
    folder = trimmed.substr(0, slash + 1);  // the parent, with its backslash ("C:\" stays a root)
  }
  const auto full = win::FullPath(folder);
  if (!full) return std::nullopt;
  char volume[MAX_PATH * 4];
  if (!GetVolumePathNameA(full->c_str(), volume, sizeof volume)) return std::nullopt;
  return std::string(volume);
}

std::optional<std::uint64_t> FreeSpace(const std::string& volume) {
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExA(volume.c_str(), &available, &total, &totalFree)) return std::nullopt;
  return available.QuadPart;
}

// Adds up, per volume, the payload sizes the archives would write.
class SpaceTally {
 public:
  explicit SpaceTally(const std::string& installFolder) : installFolder_(installFolder) {}

  void AddArchive(const ArchiveToCheck& archive) {
    win::FileSource source(archive.path);
    if (source.is_open()) AddArchive(source, archive.overwrite);
  }

  void AddArchive(const ArchiveSource& archive, bool overwrite) {
    if (!archive.Present()) return;
    if (const auto source = archive.Open()) AddArchive(*source, overwrite);
  }

  void AddArchive(dt::ByteSource& source, bool overwrite) {
    dt::Directory directory;
    try {
      directory = dt::ReadDirectory(source);
    } catch (const std::exception&) {
      return;
    }
    if (directory.formatError) return;  // the run unpacks nothing of it
    for (const dt::TFileItem& item : directory.items) {
      try {
        AddEntry(source, item, overwrite);
      } catch (const std::exception&) {
        // An entry that cannot be told is left out.
      }
    }
  }

  std::vector<VolumeSpace> Volumes() const {
    std::vector<VolumeSpace> result;
    for (const std::string& volume : order_) {
      if (const auto free = FreeSpace(volume)) {
        result.push_back({volume, needed_.at(volume), *free});
      }
    }
    return result;
  }

 private:
  void AddEntry(dt::ByteSource& source, const dt::TFileItem& item, bool overwrite) {
    const dt::SplitResult parts = dt::SplitPath(item.Name);
    const std::optional<std::string>& folder = CachedExpansion(parts.folder);
    if (!folder) return;
    AddRecordRoom();  // a written file and a kept one alike
    const std::string target = *folder + "\\" + parts.file;
    if (!overwrite && (planned_.count(target) || win::FileExistsQuiet(target))) return;
    const auto size = dt::ReadPayloadSize(source, item);
    if (!size) return;
    const auto& volume = CachedVolumeOf(*folder);
    if (!volume) return;
    planned_.insert(target);
    if (needed_.emplace(*volume, 0).second) order_.push_back(*volume);
    needed_[*volume] += static_cast<std::uint64_t>(*size);
  }

  // Room for the entry's lines in the installation record, on the installation folder's volume.
  void AddRecordRoom() {
    const auto& volume = CachedVolumeOf(installFolder_);
    if (!volume) return;
    if (needed_.emplace(*volume, 0).second) order_.push_back(*volume);
    needed_[*volume] += kRecordRoomPerEntry;
  }

  // The stored folder with its macros expanded; nothing when a macro's source raises. Expanded
  // once per distinct folder: each expansion asks the system for three folders.
  const std::optional<std::string>& CachedExpansion(const std::string& stored) {
    auto found = expanded_.find(stored);
    if (found == expanded_.end()) {
      std::optional<std::string> folder;
      try {
        folder = ExpandFolderMacros(stored, installFolder_);
      } catch (const std::exception&) {
        // Left out: the run meets the same error and reports it.
      }
      found = expanded_.emplace(stored, std::move(folder)).first;
    }
    return found->second;
  }

  const std::optional<std::string>& CachedVolumeOf(const std::string& folder) {
    auto found = volumes_.find(folder);
    if (found == volumes_.end()) found = volumes_.emplace(folder, VolumeOf(folder)).first;
    return found->second;
  }

  const std::string& installFolder_;
  std::map<std::string, std::optional<std::string>> expanded_;  // by stored folder
  std::map<std::string, std::optional<std::string>> volumes_;   // by target folder
  std::map<std::string, std::uint64_t> needed_;                 // by volume
  std::vector<std::string> order_;                              // volumes as first met
  std::set<std::string> planned_;  // targets an earlier entry writes: later keeping entries skip
};

std::wstring DoubledAmpersands(const std::wstring& text) {
  std::wstring result;
  for (const wchar_t c : text) {
    result += c;
    if (c == L'&') result += L'&';
  }
  return result;
}

std::uint64_t MiBRoundedUp(std::uint64_t bytes) {
  return bytes / kMiB + (bytes % kMiB ? 1 : 0);
}

}  // namespace

std::vector<VolumeSpace> MeasureDiskSpace(const std::string& installFolder,
                                          const std::vector<ArchiveToCheck>& archives) {
  SpaceTally tally(installFolder);
  for (const ArchiveToCheck& archive : archives) tally.AddArchive(archive);
  return tally.Volumes();
}

std::vector<VolumeSpace> MeasureDiskSpace(const std::string& installFolder,
                                          const ArchiveSources& archives) {
  SpaceTally tally(installFolder);
  tally.AddArchive(*archives.programFiles, /*overwrite=*/true);
  tally.AddArchive(*archives.systemFiles, /*overwrite=*/false);
  return tally.Volumes();
}

std::wstring DiskSpaceQuestion(const VolumeSpace& volume) {
  // The question's label takes '&' for an access key: doubled, it shows as itself.
  return L"Недостаточно места на диске \"" + DoubledAmpersands(win::AnsiToWide(volume.volume)) +
         L"\": нужно " + std::to_wstring(MiBRoundedUp(volume.needed)) + L" МБ, свободно " +
         std::to_wstring(volume.free / kMiB) + L" МБ.\rПродолжить установку?";
}

std::string DiskSpaceLogLine(const VolumeSpace& volume) {
  const std::string figures = "needed " + std::to_string(MiBRoundedUp(volume.needed)) +
                              " MB, free " + std::to_string(volume.free / kMiB) + " MB (" +
                              std::to_string(volume.needed) + " bytes needed, " +
                              std::to_string(volume.free) + " bytes free)";
  const std::string disk = "\"" + volume.volume + "\"";
  return (volume.FallsShort() ? "not enough disk space on " : "disk space on ") + disk + ": " +
         figures;
}

}  // namespace setup

#include "setup/run/path_lengths.h"

#include <map>
#include <optional>

#include "core/archive_format.h"
#include "core/install_record.h"
#include "core/text.h"
#include "setup/run/folder_macros.h"

namespace setup {
namespace {

void Consider(const std::string& path, std::size_t extra, LongestPath& longest) {
  if (path.size() + extra > longest.length) longest = {path, path.size() + extra};
}

void AddArchive(const ArchiveSource& archive, const std::string& installFolder,
                std::size_t extra, LongestPath& longest) {
  if (!archive.Present()) return;
  const std::unique_ptr<dt::ByteSource> opened = archive.Open();
  if (!opened) return;
  const dt::Directory directory = dt::ReadDirectory(*opened);
  FolderMacroExpander macros(installFolder);
  std::map<std::string, std::optional<std::string>> expanded;  // by stored folder
  for (const dt::TFileItem& item : directory.items) {
    const dt::SplitResult parts = dt::SplitPath(item.Name);
    auto found = expanded.find(parts.folder);
    if (found == expanded.end()) {
      std::optional<std::string> folder;
      try {
        folder = macros.Expand(parts.folder);
      } catch (const std::exception&) {
        // Left out: the run meets the same error and reports it.
      }
      found = expanded.emplace(parts.folder, std::move(folder)).first;
    }
    if (found->second) Consider(*found->second + "\\" + parts.file, extra, longest);
  }
}

}  // namespace

LongestPath LongestTargetPath(const std::string& installFolder, const ArchiveSources& archives) {
  LongestPath longest;
  Consider(installFolder + "\\" + std::string(dt::kRecordOldFileName), 0, longest);
  AddArchive(*archives.programFiles, installFolder, kTemporaryNameLength, longest);
  AddArchive(*archives.systemFiles, installFolder, 0, longest);
  return longest;
}

}  // namespace setup

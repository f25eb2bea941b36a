// Where an installation run's archives come from: files beside Setup.exe, or windows of
// Setup.exe's own file (a one-file installer). Decided once, when a run starts, and handed to the
// run; the archive reader only ever sees the bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/archive_format.h"

namespace setup {

class ArchiveSource {
 public:
  virtual ~ArchiveSource() = default;
  // How messages (and the log) name the archive: the path of a file beside the program, or, for
  // an archive inside the program's own file, that file's path, a backslash and the archive's
  // name ("C:\Дистрибутив\Setup.exe\ProgramFiles.dt"), as archive tools name a member.
  virtual const std::string& Name() const = 0;
  // False for an archive the distribution does not carry: it is skipped without a message.
  virtual bool Present() const = 0;
  // Its size in bytes, the run's gauge counts it; 0 when it is missing or cannot be told.
  virtual std::uint64_t Size() const = 0;
  // Opens it for reading from its start; nothing when it cannot be opened (the open error).
  virtual std::unique_ptr<dt::ByteSource> Open() const = 0;
};

// ProgramFiles.dt, unpacked first with overwrite, and SystemFiles.dt, unpacked second without.
struct ArchiveSources {
  std::unique_ptr<ArchiveSource> programFiles;
  std::unique_ptr<ArchiveSource> systemFiles;
};

// An archive file, opened letting others read and write it meanwhile.
std::unique_ptr<ArchiveSource> ArchiveFile(std::string path);

// The two archive files in `folder`.
ArchiveSources ArchivesBeside(const std::string& folder);

// The archives of the program whose file is `programPath`: when that file carries anything behind
// its image it is a one-file installer, whose archives lie inside it and never beside it; an
// archive it does not carry is missing, and with a trailer that is missing, cut or points
// elsewhere, every archive fails to open. Otherwise the archives beside it, in `folder`.
ArchiveSources ArchivesOf(const std::string& programPath, const std::string& folder);

// The running Setup.exe's archives: ArchivesOf(its own file, sourceDir), where sourceDir is the
// run's SourceDir (the folder that holds it, unless a test says otherwise).
ArchiveSources ArchivesOfThisProgram(const std::string& sourceDir);

}  // namespace setup

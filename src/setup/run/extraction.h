// Unpacking one package archive into the folders its stored paths name.
#pragma once

#include <string>

#include "setup/run/archive_source.h"
#include "base/program_log.h"
#include "setup/run/install_view.h"
#include "setup/run/run_result.h"
#include "setup/run/run_state.h"

namespace setup {

// The error of an archive that cannot be opened or read: "Ошибка чтения архива: "<archive>".".
std::wstring ArchiveOpenError(const std::string& archive);

// Unpacks the archive at archivePath into the run's installation folder (state.InstallFolder) and
// the folders its other macros name: per entry the folder macros are expanded, the folder is
// created, and the file is written (replacing an existing one when overwrite is set, keeping it
// otherwise; an existing file stays as it was when its replacement fails). Shows the file name and
// advances state.DoneBytes and the gauge, and pumps the message queue once per entry, once at the end
// and, while a payload of several copy buffers is written, between buffers whenever 16 ms or more
// have passed since the last pump.
// The first failure ends the run with its text in messages.Error; a file that cannot be written is
// asked about (Abort, Retry, Ignore). Every file written is recorded in messages.Written with its
// final size. The archive, each entry and each question go to the log.
void UnpackArchive(const std::string& archivePath, RunState& state, TMessages& messages,
                   bool overwrite, InstallView& view, base::ProgramLog& log = base::NoLog());
// The same for an archive wherever it lies; its messages name it by archive.Name().
void UnpackArchive(const ArchiveSource& archive, RunState& state, TMessages& messages,
                   bool overwrite, InstallView& view, base::ProgramLog& log = base::NoLog());

// The size of the buffer through which every payload is copied.
inline constexpr std::size_t kCopyBufferSize = 1 << 20;

}  // namespace setup

// The extraction alone, without the window: unpacks ARCHIVE into FOLDER through a view that
// shows nothing, and prints the time per entry. Separates the file-system work of each entry from
// the gauge's and the label's painting, which the full run adds.
//   unpack_bench ARCHIVE FOLDER
// With --record, measures what the installation record adds instead: the same extraction into a
// new folder each round, the rounds alternating between a run that records (its record opened as
// the run opens it) and one that records nothing, and prints the median time per entry of each.
//   unpack_bench --record ARCHIVE FOLDER
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/archive_format.h"
#include "core/install_record.h"
#include "base/ui/dialogs/dialogs.h"
#include "setup/run/extraction.h"
#include "setup/run/folder_macros.h"
#include "setup/run/run_state.h"
#include "base/program_log.h"
#include "setup/run/run_record.h"
#include "win32/file_source.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace {

// Watches nothing and answers every question with Abort: the extraction alone is measured.
class BenchView final : public setup::InstallView {
 public:
  void SetFileLabel(const std::wstring&) override {}
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t) override {}
  void SetGaugeVisible(bool) override {}
  bool Aborted() const override { return false; }
  setup::WriteErrorAnswer AskWriteError(const std::wstring&, unsigned long, int) override {
    return setup::WriteErrorAnswer::kAbort;
  }
  void Pump() override {}
  void ShowRunError(const std::wstring&) override {}
  bool AcceptDiskShortfall(const setup::VolumeSpace&) override { return false; }
  void ShowFolderError(const std::wstring&) override {}
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string Joined(const std::vector<double>& values) {
  std::string text;
  for (const double value : values) {
    char figure[32];
    std::snprintf(figure, sizeof figure, "%s%.3f", text.empty() ? "" : "/", value);
    text += figure;
  }
  return text;
}

// Nine rounds, the record on in the first and every other one: each unpacks the archive into a new folder below
// FOLDER, timed from the record's opening to its last write (the run's end flushes it).
int MeasureRecord(const char* archive, const std::string& folder) {
  constexpr int kRounds = 9;
  win::FileSource source(archive);
  const std::size_t entries = dt::ReadDirectory(source).items.size();
  if (entries == 0) return 1;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<double> on, off;
  for (int round = 0; round < kRounds; ++round) {
    const bool recording = round % 2 == 0;
    setup::RunState state;
    state.InstallFolder = folder + (recording ? "\\on-" : "\\off-") + std::to_string(round);
    CreateDirectoryA(state.InstallFolder.c_str(), nullptr);
    BenchView view;
    setup::TMessages messages;
    const auto start = std::chrono::steady_clock::now();
    if (recording) {
      messages.Record = setup::OpenInstallRecord(state.InstallFolder, "", {}, base::NoLog());
    }
    setup::UnpackArchive(archive, state, messages, true, view);
    if (!messages.Record.Flush()) return 1;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!messages.Error.empty()) return 1;
    (recording ? on : off).push_back(ms / static_cast<double>(entries));
  }
  const double withRecord = Median(on), without = Median(off);
  std::printf(
      "unpack_bench: installation record on %.3f ms per entry (runs %s), off %.3f ms per entry "
      "(runs %s), %zu entries, alternating rounds\n",
      withRecord, Joined(on).c_str(), without, Joined(off).c_str(), entries);
  std::printf("unpack_bench: the record costs %.3f ms per entry (goal 0.025 at most)\n",
              withRecord - without);

  // The record's own work alone, free of the file system's swings: as many announcements and
  // confirmations of a file as there are entries, into a record of its own.
  const std::string writes = folder + "\\writes";
  CreateDirectoryA(writes.c_str(), nullptr);
  base::RecordWriter record = setup::OpenInstallRecord(writes, "", {}, base::NoLog());
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < entries; ++i) {
    const std::string path = writes + "\\f" + std::to_string(i) + ".bin";
    if (!record.Announce(dt::kRecordFilePending, {path})) return 1;
    record.Note(dt::kRecordFile, {path, "created", "4096", "01db2c3d4e5f6a7b"});
  }
  if (!record.Flush()) return 1;
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("unpack_bench: the record's own lines alone %.4f ms per entry\n",
              ms / static_cast<double>(entries));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--record") == 0) return MeasureRecord(argv[2], argv[3]);
  if (argc != 3) {
    std::fprintf(stderr, "usage: unpack_bench [--record] ARCHIVE FOLDER\n");
    return 2;
  }
  setup::RunState state;
  state.InstallFolder = argv[2];
  win::FileSource source(argv[1]);
  const std::size_t entries = dt::ReadDirectory(source).items.size();
  BenchView view;
  setup::TMessages messages;
  const auto start = std::chrono::steady_clock::now();
  setup::UnpackArchive(argv[1], state, messages, true, view);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (!messages.Error.empty()) return 1;
  std::printf("unpack_bench: %zu entries in %.0f ms, %.3f ms per entry\n", entries, ms,
              ms / static_cast<double>(entries));

  // The per-entry work itemised, each step alone over as many rounds as there are entries: the
  // macros (asked afresh, and once per archive as the extraction does), the folder's creation
  // and existence tests, the target's existence test, the archive reads, what the file system
  // itself costs for a new file of the entry's size (create, write, close), and what is asked of
  // the written file.
  const auto perEntry = [&](const char* what, auto&& work) {
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < entries; ++i) work();
    const double total =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("unpack_bench: %s %.3f ms per entry\n", what, total / static_cast<double>(entries));
  };
  perEntry("folder macros asked afresh",
           [&] { setup::ExpandFolderMacros("%InstallDir%", state.InstallFolder); });
  setup::FolderMacroExpander macros(state.InstallFolder);
  perEntry("folder macros asked once", [&] { macros.Expand("%InstallDir%"); });
  perEntry("folder creation and tests", [&] {
    win::ForceDirectories(argv[2]);
    win::DirectoryExistsQuiet(argv[2]);
  });
  const std::string probe = std::string(argv[2]) + "\\unpack_bench.probe";
  perEntry("target existence test", [&] { win::FileExistsQuiet(probe); });

  const dt::Directory directory = (source.Seek(0), dt::ReadDirectory(source));
  std::vector<std::byte> buffer(setup::kCopyBufferSize);
  std::size_t next = 0;
  std::int32_t lastSize = 0;
  perEntry("archive reads (size and content)", [&] {
    const dt::TFileItem& item = directory.items[next++ % directory.items.size()];
    const auto size = dt::ReadPayloadSize(source, item);
    if (!size) return;
    lastSize = *size;
    if (auto content = dt::ContentReader::Open(source, item, *size)) {
      while (content->Next(buffer).value_or(0) > 0) {
      }
    }
  });
  const std::string floorFolder = std::string(argv[2]) + "\\unpack_bench.floor";
  CreateDirectoryA(floorFolder.c_str(), nullptr);
  std::size_t file = 0;
  perEntry("file system floor: create, write, close a new file", [&] {
    const std::string path = floorFolder + "\\f" + std::to_string(file++);
    const win::FileHandle out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(out.get(), buffer.data(), static_cast<DWORD>(lastSize), &written, nullptr);
  });

  // What the extraction asks of a file it wrote, on one written file: its size and last-write
  // time for the record, and the identity that counts it once; beside them the system's one call
  // that tells everything about a file, which the stamp no longer uses.
  const std::string last = floorFolder + "\\f" + std::to_string(file - 1);
  const win::FileHandle written(CreateFileA(last.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  perEntry("size and last-write time through the handle", [&] { setup::StampOf(written.get()); });
  perEntry("(all of a file's information by handle, not used per entry)", [&] {
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(written.get(), &info);
  });
  perEntry("the file's identity (full path in upper case)", [&] {
    std::string identity = win::FullPath(last).value_or(last);
    CharUpperBuffA(identity.data(), static_cast<DWORD>(identity.size()));
  });

  // What an unattended run adds per entry besides the record: its log's line about the entry,
  // and a pump of an empty message queue.
  base::ProgramLog log =
      base::ProgramLog::OpenFile(win::AnsiToWide(std::string(argv[2]) + "\\unpack_bench.log"));
  perEntry("a log line", [&] {
    log.WriteAnsi("entry \"%InstallDir%\\f1.bin\" -> \"" + last + "\", 4096 bytes: written");
  });
  perEntry("a pump of an empty message queue", [] {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  });
  return 0;
}

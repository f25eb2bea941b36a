// The extraction alone, without the window: unpacks ARCHIVE into FOLDER through a view that
// shows nothing, and prints the time per entry. Separates the file-system work of each entry from
// the gauge's and the label's painting, which the full run adds.
//   unpack_bench ARCHIVE FOLDER
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/archive_format.h"
#include "setup/dialogs/dialogs.h"
#include "setup/run/extraction.h"
#include "setup/run/folder_macros.h"
#include "setup/run/globals.h"
#include "win32/file_source.h"
#include "win32/files.h"
#include "win32/handles.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: unpack_bench ARCHIVE FOLDER\n");
    return 2;
  }
  setup::InstallFolder = argv[2];
  win::FileSource source(argv[1]);
  const std::size_t entries = dt::ReadDirectory(source).items.size();
  BenchView view;
  setup::TMessages messages;
  const auto start = std::chrono::steady_clock::now();
  setup::UnpackArchive(argv[1], messages, true, view);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (!messages.Error.empty()) return 1;
  std::printf("unpack_bench: %zu entries in %.0f ms, %.3f ms per entry\n", entries, ms,
              ms / static_cast<double>(entries));

  // The per-entry work itemised, each step alone over as many rounds as there are entries: the
  // macros (asked afresh, and once per archive as the extraction does), the folder's creation
  // and existence tests, the target's existence test, the archive reads, and what the file
  // system itself costs for a new file of the entry's size (create, write, close).
  const auto perEntry = [&](const char* what, auto&& work) {
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < entries; ++i) work();
    const double total =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("unpack_bench: %s %.3f ms per entry\n", what, total / static_cast<double>(entries));
  };
  perEntry("folder macros asked afresh", [] { setup::ExpandFolderMacros("%InstallDir%"); });
  setup::FolderMacroExpander macros;
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
  return 0;
}

// The extraction alone, without the window: unpacks ARCHIVE into FOLDER through a view that
// shows nothing, and prints the time per entry. Separates the file-system work of each entry from
// the gauge's and the label's painting, which the full run adds.
//   unpack_bench ARCHIVE FOLDER
#include <chrono>
#include <cstdio>

#include "core/archive_format.h"
#include "setup/dialogs.h"
#include "setup/extraction.h"
#include "setup/folder_macros.h"
#include "setup/globals.h"
#include "win32/file_source.h"
#include "win32/files.h"

namespace {

class SilentView final : public setup::InstallView {
 public:
  void SetFileLabel(const std::wstring&) override {}
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t) override {}
  void SetGaugeVisible(bool) override {}
  bool Aborted() const override { return false; }
  int AskWriteError(const std::wstring&, unsigned long) override { return setup::kAbort; }
  void Pump() override {}
  void ShowRunError(const std::wstring&) override {}
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
  SilentView view;
  setup::TMessages messages;
  const auto start = std::chrono::steady_clock::now();
  setup::UnpackArchive(argv[1], messages, true, view);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (!messages.Error.empty()) return 1;
  std::printf("unpack_bench: %zu entries in %.0f ms, %.3f ms per entry\n", entries, ms,
              ms / static_cast<double>(entries));

  // The stated per-entry work that is not the copy itself: the macros expanded afresh (Windows
  // folder, registry, system folder) and the folder's creation and existence tests.
  const auto perEntry = [&](const char* what, auto&& work) {
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < entries; ++i) work();
    const double total =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("unpack_bench: %s %.3f ms per entry\n", what, total / static_cast<double>(entries));
  };
  perEntry("folder macros", [] { setup::ExpandFolderMacros("%InstallDir%"); });
  perEntry("folder creation and tests", [&] {
    win::ForceDirectories(argv[2]);
    win::DirectoryExistsQuiet(argv[2]);
  });
  return 0;
}

// Unpacks an archive the way a run does and, at the first pump while a payload is being copied,
// makes a marker file and waits to be killed: the tests see what a killed run leaves behind.
//   unpack_probe <archive> <installation folder> <marker>
#include <windows.h>

#include "fake_view.h"
#include "setup/run/extraction.h"

// Slow to show an entry's name: by the time its payload is copied, a pump is due between buffers.
class SlowLabelView : public testing_support::FakeView {
 public:
  void SetFileLabel(const std::wstring& text) override {
    FakeView::SetFileLabel(text);
    Sleep(100);
  }
};

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  setup::RunState state;
  state.InstallFolder = argv[2];
  setup::TMessages messages;
  SlowLabelView view;
  const std::string marker = argv[3];
  view.onPump = [&marker](int) {
    CloseHandle(CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    Sleep(INFINITE);
  };
  setup::UnpackArchive(argv[1], state, messages, /*overwrite=*/true, view);
  return 1;  // never pumped while copying
}

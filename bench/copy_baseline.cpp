// The floor that Wine itself sets for putting a file on disk: copies SOURCE to TARGET with
// ReadFile/WriteFile through a 1 MiB buffer and prints the time the copy took.
//   copy_baseline SOURCE TARGET      copy_baseline --noop (starts and ends: the cost of a start)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "win32/handles.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--noop") == 0) return 0;
  if (argc != 3) {
    std::fprintf(stderr, "usage: copy_baseline SOURCE TARGET\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const win::FileHandle in(CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  const win::FileHandle out(CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in || !out) {
    std::fprintf(stderr, "copy_baseline: cannot open the files\n");
    return 1;
  }
  std::vector<char> buffer(1 << 20);
  DWORD got = 0, written = 0;
  while (ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
         got > 0) {
    if (!WriteFile(out.get(), buffer.data(), got, &written, nullptr) || written != got) return 1;
  }
  const auto took = std::chrono::steady_clock::now() - start;
  std::printf(
      "copy_baseline: copy took %lld ms\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  return 0;
}

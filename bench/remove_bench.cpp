// The uninstaller's work for one file it removes, itemised: each step alone over as many files as
// the uninstallation removes, beside the file system's floor (the delete alone), then all steps
// together in the removal's order. Every step that deletes works on a new folder of FILES files
// of 4 KiB (made untimed); each figure is the median of three rounds. Exit status 1 when a
// delete left a file.
//   remove_bench FOLDER [FILES]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/install_record.h"
#include "core/removal_plan.h"
#include "core/text.h"
#include "base/program_log.h"
#include "toolkit/application.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace {

constexpr int kRepeats = 3;

std::string root;
std::size_t files = 1023;
int nextFolder = 0;

// A new folder of `files` files of 4 KiB; their paths.
std::vector<std::string> MakeFolder(std::vector<std::string>& folders) {
  const std::string folder = root + "\\set" + std::to_string(nextFolder++);
  folders.push_back(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string content(4096, 'x');
  std::vector<std::string> paths;
  for (std::size_t i = 1; i <= files; ++i) {
    paths.push_back(folder + "\\f" + std::to_string(i) + ".bin");
    const win::FileHandle out(CreateFileA(paths.back().c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(out.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  }
  return paths;
}

std::vector<std::string> deletedFolders;  // the folders whose files a step deleted
std::vector<std::string> keptFolders;     // the folders whose files a step only looked at

// The step over every file of a folder, as the removal goes (the record's reverse order); the
// median of kRepeats rounds, in milliseconds per file. A step that deletes gets a new folder each
// round.
template <typename Step>
double PerFile(Step&& step, bool deletes = true) {
  std::vector<double> runs;
  std::vector<std::string> paths;
  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    if (deletes || repeat == 0) paths = MakeFolder(deletes ? deletedFolders : keptFolders);
    const auto start = std::chrono::steady_clock::now();
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) step(*it);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    runs.push_back(ms / static_cast<double>(paths.size()));
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

// The files still there in the folders whose steps delete: none, when every delete worked.
std::size_t CountLeft() {
  std::size_t left = 0;
  for (const std::string& folder : deletedFolders) {
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((folder + "\\*.bin").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) continue;
    do ++left; while (FindNextFileA(find, &found));
    FindClose(find);
  }
  if (left) std::fprintf(stderr, "remove_bench: %zu files were not deleted\n", left);
  return left;
}

void Print(const char* what, double ms) {
  std::printf("remove_bench: %s %.3f ms per file\n", what, ms);
}

void DeleteAlone(const std::string& path) {
  DeleteFileA(path.c_str());
}

// A delete by a name that may hold wildcards: the name is looked up first.
void LookUpThenDelete(const std::string& path) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA(path.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  FindClose(find);
  DeleteFileA(path.c_str());
}

// As the removal deletes: a read-only attribute would stop the delete.
void AttributesThenDelete(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

// The removal's check as it was before it deleted through the checked handle: opened for its
// attributes, its basic information (attributes, last-write time) and its size read, closed.
bool Check(const std::string& path) {
  const win::FileHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
  if (!file) return false;
  FILE_BASIC_INFO basic{};
  LARGE_INTEGER size{};
  return GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) &&
         GetFileSizeEx(file.get(), &size) && size.QuadPart == 4096;
}

// What the removal does now: the file opened once with delete access, checked through that
// handle and marked for deletion on it, so that the file checked is the file that goes (a
// read-only file has its attribute cleared through the same handle when the delete is refused).
bool CheckAndDeleteThroughOneHandle(const std::string& path) {
  const win::FileHandle file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
  if (!file) return false;
  FILE_BASIC_INFO basic{};
  LARGE_INTEGER size{};
  if (!GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
      !GetFileSizeEx(file.get(), &size) || size.QuadPart != 4096) {
    return false;
  }
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                    sizeof disposition);
}

// The path work around a file: the label's text, where the path lies, the test against the
// running program's own path.
dt::KnownFolders known;
std::string self;  // as PathKey
std::size_t PathWork(const std::string& path) {
  const std::wstring label = L"Файл: " + win::AnsiToWide(dt::SplitPath(path).file) + L"...";
  const std::string utf8 = win::AnsiToUtf8(path);
  const dt::Place place = dt::Classify(utf8, known);
  const bool own = dt::PathKey(utf8) == self;
  return label.size() + static_cast<std::size_t>(place) + (own ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: remove_bench FOLDER [FILES]\n");
    return 2;
  }
  root = argv[1];
  if (argc == 3) files = std::strtoul(argv[2], nullptr, 10);
  if (files == 0) return 2;
  CreateDirectoryA(root.c_str(), nullptr);
  known.install = win::AnsiToUtf8(root);
  self = dt::PathKey(known.install + "\\Uninstaller.exe");

  // The record's progress lines and the log, as the removal appends to them.
  const std::string recordPath = root + "\\Uninstaller.dat";
  {
    const win::FileHandle created(CreateFileA(recordPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  const win::FileHandle record(CreateFileA(recordPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                           nullptr));
  const auto progressLine = [&](const std::string& path) {
    const std::string line =
        dt::FormatRecordLine(dt::kRecordRemoved, {win::AnsiToUtf8("file"), win::AnsiToUtf8(path)});
    DWORD written = 0;
    WriteFile(record.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  };
  base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(root + "\\remove_bench.log"));
  const auto logLine = [&](const std::string& path) {
    log.WriteAnsi("removed: file \"" + path + "\"");
  };
  tk::Application app(tk::Application::Com::kNotNeeded);
  const auto pump = [&](const std::string&) { app.ProcessMessages(); };

  Print("delete alone (the file system's floor)", PerFile(DeleteAlone));
  Print("the name looked up (FindFirstFile), then deleted", PerFile(LookUpThenDelete));
  Print("one opening: checked and deleted through its handle (the removal's check and delete)",
        PerFile([](const std::string& path) { CheckAndDeleteThroughOneHandle(path); }));
  Print("the path work: label text, place, own-path test",
        PerFile([](const std::string& path) { PathWork(path); }, false));
  Print("the record's progress line", PerFile(progressLine, false));
  Print("the log line", PerFile(logLine, false));
  Print("a pump of an empty message queue", PerFile(pump, false));
  Print("all of them in the removal's order", PerFile([&](const std::string& path) {
          PathWork(path);
          CheckAndDeleteThroughOneHandle(path);
          logLine(path);
          progressLine(path);
          pump(path);
        }));

  // What the removal did before, for comparison: checked, then deleted by name.
  Print("(before) the check: opened, basic information and size read, closed",
        PerFile([](const std::string& path) { Check(path); }, false));
  Print("(before) the attributes set to normal, then deleted", PerFile(AttributesThenDelete));
  Print("(before) the check, then the attributes set, then deleted",
        PerFile([](const std::string& path) {
          if (Check(path)) AttributesThenDelete(path);
        }));
  return CountLeft() == 0 ? 0 : 1;
}

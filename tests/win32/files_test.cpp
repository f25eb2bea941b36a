#include "win32/files.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "win32/shared_file_source.h"

namespace {

using testing_support::TempFolder;
using testing_support::WriteFileBytes;

TEST(GetFileSizeByName, FilesFoldersAndMissingPaths) {
  TempFolder temp;
  WriteFileBytes(temp / "five.bin", "12345");
  EXPECT_EQ(win::GetFileSizeByName(temp / "five.bin"), 5);
  EXPECT_EQ(win::GetFileSizeByName(temp.path()), 0);
  EXPECT_EQ(win::GetFileSizeByName(temp / "missing.bin"), 0);
  SetFileAttributesA((temp / "five.bin").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(win::GetFileSizeByName(temp / "five.bin"), 5);
  EXPECT_EQ(win::GetFileSize64ByName(temp / "five.bin"), 5u);
  EXPECT_FALSE(win::GetFileSize64ByName(temp.path()));
}

TEST(GetFileSizeByName, KeepsTheLow32BitsOfLargeFiles) {
  // A sparse-looking file of 4 GiB + 7 bytes: only its end is written.
  TempFolder temp;
  const std::string path = temp / "large.bin";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = (1LL << 32) + 7;
  const bool extended = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  if (!extended) GTEST_SKIP() << "the file system cannot hold a 4 GiB file";
  EXPECT_EQ(win::GetFileSizeByName(path), 7);
  EXPECT_EQ(win::GetFileSize64ByName(path), (1ULL << 32) + 7);
}

TEST(ExistsQuiet, TellsFilesFromFolders) {
  TempFolder temp;
  WriteFileBytes(temp / "file.txt", "x");
  EXPECT_TRUE(win::FileExistsQuiet(temp / "file.txt"));
  EXPECT_FALSE(win::DirectoryExistsQuiet(temp / "file.txt"));
  EXPECT_TRUE(win::DirectoryExistsQuiet(temp.path()));
  EXPECT_FALSE(win::FileExistsQuiet(temp.path()));
  EXPECT_FALSE(win::FileExistsQuiet(temp / "missing"));
  EXPECT_FALSE(win::DirectoryExistsQuiet(temp / "missing"));
  EXPECT_FALSE(win::DirectoryExistsQuiet(""));
  // The error mode the caller had is back afterwards.
  const UINT before = SetErrorMode(SEM_NOGPFAULTERRORBOX);
  win::DirectoryExistsQuiet("Q:\\no-such-drive");
  EXPECT_EQ(SetErrorMode(before), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
}

TEST(ForceDirectories, CreatesMissingParentsAndReturnsTheFirstFailure) {
  TempFolder temp;
  EXPECT_EQ(win::ForceDirectories(temp / "a\\b\\c\\\\"), 0u);
  EXPECT_TRUE(win::DirectoryExistsQuiet(temp / "a\\b\\c"));
  EXPECT_EQ(win::ForceDirectories(temp / "a\\b"), 0u);  // there already

  // A file of that name, or on the way: the first creation that failed says so.
  WriteFileBytes(temp / "file", "x");
  EXPECT_EQ(win::ForceDirectories(temp / "file"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(win::ForceDirectories(temp / "file\\sub"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(win::DirectoryExistsQuiet(temp / "file\\sub"));

  // A drive that does not exist: the system's "not found".
  const unsigned long noDrive = win::ForceDirectories("Q:\\no-such-drive\\x");
  EXPECT_TRUE(noDrive == ERROR_PATH_NOT_FOUND || noDrive == ERROR_FILE_NOT_FOUND) << noDrive;

  EXPECT_EQ(win::ForceDirectories(""), 0u);  // nothing tried
}

TEST(ForceDirectories, CreatesNothingForAPathThatIsNotRooted) {
  TempFolder temp;
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(temp.path().c_str());
  EXPECT_EQ(win::ForceDirectories("relative\\folder"), 0u);
  const bool created = win::DirectoryExistsQuiet(temp / "relative");
  SetCurrentDirectoryA(previous);
  EXPECT_FALSE(created);
}

// A window of a shared file reads exactly its bytes, whatever mix of small reads (served ahead),
// large ones and seeks asks for them, and two readers of one handle never move each other.
TEST(SharedFileSource, ReadsItsWindowThroughReadsOfAnySize) {
  testing_support::TempFolder temp;
  std::string bytes(300 * 1024, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  testing_support::WriteFileBytes(temp / "f", bytes);
  auto file = std::make_shared<win::FileHandle>(CreateFileA(
      (temp / "f").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(*file);
  const std::uint64_t offset = 1000, length = 200 * 1024;
  win::SharedFileSource a(file, offset, length), b(file, offset, length);
  const auto read = [](win::SharedFileSource& source, std::size_t n) {
    std::string out(n, '\0');
    std::size_t got = 0;
    while (got < n) {
      const std::size_t step = source.Read(std::as_writable_bytes(std::span(out)).subspan(got));
      if (step == 0) break;
      got += step;
    }
    out.resize(got);
    return out;
  };
  EXPECT_EQ(read(a, 4), bytes.substr(offset, 4));
  EXPECT_EQ(read(b, 100 * 1024), bytes.substr(offset, 100 * 1024));
  EXPECT_EQ(read(a, 5000), bytes.substr(offset + 4, 5000));
  ASSERT_TRUE(a.Seek(150 * 1024));
  EXPECT_EQ(read(a, 4), bytes.substr(offset + 150 * 1024, 4));
  EXPECT_EQ(read(a, 80 * 1024), bytes.substr(offset + 150 * 1024 + 4, 50 * 1024 - 4));  // its end
  EXPECT_EQ(read(b, 7), bytes.substr(offset + 100 * 1024, 7));
  EXPECT_FALSE(a.Seek(length + 1));
}

}  // namespace

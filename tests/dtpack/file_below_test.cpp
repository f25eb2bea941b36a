#include "file_below.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace {
namespace fs = std::filesystem;

class FileBelowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    top_ = fs::temp_directory_path() / ("file-below-test-" + std::to_string(rd()));
    root_ = top_ / "root";
    outside_ = top_ / "outside";
    fs::create_directories(root_);
    fs::create_directories(outside_);
  }
  void TearDown() override { fs::remove_all(top_); }

  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Put(const fs::path& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
  }
  // Writes `content` to root/relative through FileBelow: empty, or why it was refused.
  std::string WriteBelow(const fs::path& relative, const std::string& content) {
    std::string why;
    auto file = dtpack::FileBelow::Create(root_, relative, why);
    if (!file) return why.empty() ? "refused without a reason" : why;
    const bool written = file->Write(std::as_bytes(std::span(content.data(), content.size())));
    return file->Close() && written ? "" : "not written";
  }

  fs::path top_, root_, outside_;
};

TEST_F(FileBelowTest, MakesTheFoldersAndReplacesAFileThatIsThere) {
  EXPECT_EQ(WriteBelow("a/b/c.txt", "first"), "");
  EXPECT_EQ(Read(root_ / "a/b/c.txt"), "first");
  EXPECT_EQ(WriteBelow("a/b/c.txt", "2nd"), "");
  EXPECT_EQ(Read(root_ / "a/b/c.txt"), "2nd");
  EXPECT_EQ(WriteBelow("top.txt", "top"), "");
  EXPECT_EQ(Read(root_ / "top.txt"), "top");

  EXPECT_NE(WriteBelow("a/b", "over a folder"), "");
  EXPECT_TRUE(fs::is_directory(root_ / "a/b"));
  EXPECT_EQ(Read(root_ / "a/b/c.txt"), "2nd");
  EXPECT_NE(WriteBelow("top.txt/x", "below a file"), "");
  EXPECT_EQ(Read(root_ / "top.txt"), "top");
}

TEST_F(FileBelowTest, RefusesAPathThatIsNotBelowTheFolder) {
  for (const fs::path& relative :
       {fs::path("../outside/x"), fs::path("a/../../outside/x"), fs::path("./x"), fs::path(""),
        (outside_ / "x"), fs::path("a/")}) {
    EXPECT_NE(WriteBelow(relative, "escaped").find("does not lie below"), std::string::npos)
        << relative;
  }
  EXPECT_FALSE(fs::exists(outside_ / "x"));
  EXPECT_FALSE(fs::exists(root_ / "a"));
  EXPECT_FALSE(fs::exists(root_ / "x"));
}

#ifndef _WIN32
// The C++ runtime on Windows reports no links of the file system as such: these run on Linux.

TEST_F(FileBelowTest, NeverFollowsAFolderLinkOut) {
  fs::create_directories(root_ / "a");
  fs::create_directory_symlink(outside_, root_ / "a/maps");
  const std::string why = WriteBelow("a/maps/x.dll", "escaped");
  EXPECT_NE(why.find("a/maps\" is a symbolic link"), std::string::npos) << why;
  EXPECT_FALSE(fs::exists(outside_ / "x.dll"));

  fs::create_directory_symlink(outside_, root_ / "direct");
  EXPECT_NE(WriteBelow("direct/new/x.dll", "escaped"), "");
  EXPECT_FALSE(fs::exists(outside_ / "new"));
}

TEST_F(FileBelowTest, NeverWritesThroughAFileLinkOrAHardLink) {
  Put(outside_ / "precious", "precious");
  fs::create_symlink(outside_ / "precious", root_ / "soft.txt");
  EXPECT_NE(WriteBelow("soft.txt", "escaped").find("is a symbolic link"), std::string::npos);
  fs::create_symlink(outside_ / "missing", root_ / "dangling.txt");
  EXPECT_NE(WriteBelow("dangling.txt", "escaped"), "");
  EXPECT_FALSE(fs::exists(outside_ / "missing"));

  fs::create_hard_link(outside_ / "precious", root_ / "hard.txt");
  EXPECT_EQ(WriteBelow("hard.txt", "unpacked"), "");
  EXPECT_EQ(Read(root_ / "hard.txt"), "unpacked");
  EXPECT_EQ(Read(outside_ / "precious"), "precious");
}

TEST_F(FileBelowTest, LinkBelowNamesTheFirstLinkOnTheWay) {
  fs::create_directories(root_ / "a/b");
  EXPECT_EQ(dtpack::LinkBelow(root_, "a/b/c/d.txt"), std::nullopt);
  fs::create_directory_symlink(outside_, root_ / "a/b/c");
  EXPECT_EQ(dtpack::LinkBelow(root_, "a/b/c/d.txt"), root_ / "a/b/c");
  fs::create_symlink(outside_ / "f", root_ / "a/f.txt");
  EXPECT_EQ(dtpack::LinkBelow(root_, "a/f.txt"), root_ / "a/f.txt");
  EXPECT_EQ(dtpack::LinkBelow(root_, "missing/f.txt"), std::nullopt);

  // The folder itself may be a link: where it leads is its owner's choice.
  fs::create_directory_symlink(root_, top_ / "via");
  EXPECT_EQ(dtpack::LinkBelow(top_ / "via", "a/b/x"), std::nullopt);
  std::string why;
  auto file = dtpack::FileBelow::Create(top_ / "via", "a/b/x", why);
  ASSERT_TRUE(file) << why;
  EXPECT_TRUE(file->Close());
  EXPECT_TRUE(fs::exists(root_ / "a/b/x"));
}
#endif

}  // namespace

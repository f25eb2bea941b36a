#include "base/shared_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "install_fixture.h"
#include "support/registry_value_guard.h"
#include "support/temp_folder.h"

namespace {

using testing_support::Dword;
using testing_support::RegValue;

// Each case counts paths below a fresh temporary folder (no real system file); the counts it
// makes are removed at the end.
class SharedUseTest : public ::testing::Test {
 protected:
  // A path to count, and the value its count has before (none for REG_NONE).
  std::string Counted(const std::string& name, DWORD type = REG_NONE, const std::string& data = {}) {
    const std::string path = temp_ / name;
    guards_.push_back(std::make_unique<testing_support::RegistryValueGuard>(
        HKEY_LOCAL_MACHINE, base::kSharedDllsKey, path));
    if (type != REG_NONE) guards_.back()->Set(type, data.data(), static_cast<DWORD>(data.size()));
    return path;
  }
  static std::optional<RegValue> Count(const std::string& path, REGSAM view = 0) {
    return testing_support::HklmValue(base::kSharedDllsKey, path.c_str(), view);
  }

 private:
  testing_support::TempFolder temp_;
  std::vector<std::unique_ptr<testing_support::RegistryValueGuard>> guards_;
};

TEST_F(SharedUseTest, AMissingCountStartsAtOneForANewFileAndTwoForAnOldOne) {
  const std::string fresh = Counted("fresh.dll"), old = Counted("old.dll");
  EXPECT_EQ(base::AddSharedUse(fresh, /*existedBefore=*/false), "none");
  EXPECT_EQ(Count(fresh), Dword(1));
  EXPECT_EQ(base::AddSharedUse(old, /*existedBefore=*/true), "none");
  EXPECT_EQ(Count(old), Dword(2));
  EXPECT_EQ(base::AddSharedUse(old, /*existedBefore=*/false), "dword:2");
  EXPECT_EQ(Count(old), Dword(3));
}

// Counts of older installers keep their type; a value without a usable count is replaced with a
// DWORD as if there were none.
TEST_F(SharedUseTest, StoredCountsGrowInTheirOwnType) {
  const struct {
    DWORD type;
    std::string data;
    const char* before;
    RegValue after;
  } cases[] = {
      {REG_SZ, std::string("7\0", 2), "sz:7", {REG_SZ, "8"}},
      {REG_BINARY, std::string("\xff\x01\x00\x00", 4), "binary:511",
       {REG_BINARY, std::string("\x00\x02\x00\x00", 4)}},
      {REG_DWORD, std::string("\xff\xff\xff\xff", 4), "dword:4294967295", Dword(0xffffffff)},
      {REG_SZ, std::string("seven\0", 6), "other", Dword(2)},
      {REG_BINARY, std::string("\x05\x00", 2), "other", Dword(2)},
      {REG_EXPAND_SZ, std::string("3\0", 2), "other", Dword(2)},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = Counted("file" + std::to_string(++n) + ".dll", c.type, c.data);
    EXPECT_EQ(base::AddSharedUse(path, /*existedBefore=*/true), c.before) << c.before;
    EXPECT_EQ(Count(path), c.after) << c.before;
  }
}

// The 32-bit program counts in the 32-bit view, where 32-bit programs name their files.
TEST_F(SharedUseTest, UnderWow64TheOther64BitViewGetsNothing) {
  if (!testing_support::HasOther64BitView()) {
    GTEST_SKIP() << "only a 32-bit build under WOW64 has a 64-bit view beside its own";
  }
  const std::string path = Counted("view.dll");
  EXPECT_EQ(base::AddSharedUse(path, false), "none");
  EXPECT_EQ(Count(path, KEY_WOW64_32KEY), Dword(1));
  EXPECT_FALSE(Count(path, KEY_WOW64_64KEY));
}

}  // namespace

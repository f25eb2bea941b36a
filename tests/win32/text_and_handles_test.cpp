#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace {

TEST(WideText, OwnTextsAndAnsiPathsReachTheWideApiIntact) {
  EXPECT_EQ(win::Utf8ToWide("Установка программы"),
            L"\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430 "
            L"\u043f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b");
  EXPECT_EQ(win::WideToUtf8(win::Utf8ToWide("Файл: ё")), "Файл: ё");
  EXPECT_EQ(win::Utf8ToWide(""), L"");
  // An ANSI path round-trips through the current code page, whatever it is.
  const std::string ansi = win::WideToAnsi(L"C:\\Program Files\\Korvu");
  EXPECT_EQ(win::AnsiToWide(ansi), L"C:\\Program Files\\Korvu");
  if (GetACP() == 1251) {
    EXPECT_EQ(win::AnsiToWide("\xCF\xF3\xF2\xFC"), L"\u041f\u0443\u0442\u044c");  // "Путь"
    EXPECT_EQ(win::Utf8ToAnsi("Путь"), "\xCF\xF3\xF2\xFC");
    EXPECT_EQ(win::AnsiToUtf8("\xCF\xF3\xF2\xFC"), "Путь");
  }
}

// A path from a file others may write is converted only when the code page names exactly it: a
// fullwidth dot that a plain conversion may turn into '.' (a ".." of its own) is refused.
TEST(WideText, AnExactConversionRefusesWhatTheCodePageCannotHold) {
  EXPECT_EQ(win::Utf8ToAnsiExact("C:\\Program Files\\Korvu\\a.txt"),
            "C:\\Program Files\\Korvu\\a.txt");
  EXPECT_EQ(win::Utf8ToAnsiExact("C:\\Korvu\\\xEF\xBC\x8E\xEF\xBC\x8E\\Windows\\x.dll"),
            std::nullopt);
  EXPECT_EQ(win::Utf8ToAnsiExact("C:\\Korvu\\x\xEF\xBC\x9A" "stream"), std::nullopt);
  if (GetACP() == 1251) {
    EXPECT_EQ(win::Utf8ToAnsiExact("Путь"), "\xCF\xF3\xF2\xFC");
  }
}

TEST(Handles, OwnersCloseWhatTheyHoldAndCountIt) {
  testing_support::TempFolder temp;
  const long before = win::FileHandle::Live();
  {
    win::FileHandle file(
        CreateFileA((temp / "x").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    EXPECT_EQ(win::FileHandle::Live(), before + 1);
    win::FileHandle moved(std::move(file));
    EXPECT_FALSE(file);
    EXPECT_EQ(win::FileHandle::Live(), before + 1);
    // Exclusive: nobody else can open it while it is held.
    EXPECT_EQ(
        CreateFileA((temp / "x").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
  }
  EXPECT_EQ(win::FileHandle::Live(), before);
  win::FileHandle again(
      CreateFileA((temp / "x").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(again);
  win::FileHandle invalid(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(invalid);
  EXPECT_EQ(win::FileHandle::Live(), before + 1);

  const long bitmaps = win::Bitmap::Live();
  {
    win::Bitmap bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    EXPECT_EQ(win::Bitmap::Live(), bitmaps + 1);
    bitmap.reset(CreateBitmap(2, 2, 1, 32, nullptr));
    EXPECT_EQ(win::Bitmap::Live(), bitmaps + 1);
  }
  EXPECT_EQ(win::Bitmap::Live(), bitmaps);
}

}  // namespace

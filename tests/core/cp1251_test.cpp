#include "core/cp1251.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1251, RussianTextsRoundTrip) {
  const std::string utf8 = "Главное меню\\Программы ёЁ №";
  const auto bytes = dt::Utf8ToCp1251(utf8);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes,
            "\xC3\xEB\xE0\xE2\xED\xEE\xE5 \xEC\xE5\xED\xFE\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB"
            " \xB8\xA8 \xB9");
  EXPECT_EQ(dt::Cp1251ToUtf8(*bytes), utf8);
}

TEST(Cp1251, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const auto back = dt::Utf8ToCp1251(dt::Cp1251ToUtf8(all));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, all);
}

TEST(Cp1251, RefusesWhatItCannotHold) {
  EXPECT_FALSE(dt::Utf8ToCp1251("日本"));          // not in the code page
  EXPECT_FALSE(dt::Utf8ToCp1251("ä"));             // Latin-1, but not in 1251
  EXPECT_FALSE(dt::Utf8ToCp1251("\xD0"));          // cut short
  EXPECT_FALSE(dt::Utf8ToCp1251("\xC0\x80"));      // overlong zero
  EXPECT_FALSE(dt::Utf8ToCp1251("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(dt::Utf8ToCp1251("\xFF"));
}

}  // namespace

#include "core/int_format.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

namespace {

std::string ErrorOf(const std::string& format, std::int32_t value = 1) {
  try {
    dt::FormatInteger(format, value);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no error";
}

TEST(FormatInteger, PercentageTemplates) {
  EXPECT_EQ(dt::FormatInteger("%d%%", 60), "60%");
  EXPECT_EQ(dt::FormatInteger("%d%%", 0), "0%");
  EXPECT_EQ(dt::FormatInteger("Готово: %d %%", 100), "Готово: 100 %");
  EXPECT_EQ(dt::FormatInteger("Установка", 42), "Установка");
  EXPECT_EQ(dt::FormatInteger("", 42), "");
  EXPECT_EQ(dt::FormatInteger("%%d", 42), "%d");
  EXPECT_EQ(dt::FormatInteger("100%%%%", 1), "100%%");
}

TEST(FormatInteger, FlagsWidthAndPrecision) {
  EXPECT_EQ(dt::FormatInteger("[%5d]", 42), "[   42]");
  EXPECT_EQ(dt::FormatInteger("[%-5d]", 42), "[42   ]");
  EXPECT_EQ(dt::FormatInteger("[%05d]", -42), "[-0042]");
  EXPECT_EQ(dt::FormatInteger("[%+d]", 42), "[+42]");
  EXPECT_EQ(dt::FormatInteger("[% d]", 42), "[ 42]");
  EXPECT_EQ(dt::FormatInteger("[%.3d]", 7), "[007]");
  EXPECT_EQ(dt::FormatInteger("[%06.3d]", 7), "[   007]");  // a precision overrides '0'
  EXPECT_EQ(dt::FormatInteger("[%.0d]", 0), "[]");
  EXPECT_EQ(dt::FormatInteger("[%ld]", 5), "[5]");
  EXPECT_EQ(dt::FormatInteger("[%i]", -5), "[-5]");
}

TEST(FormatInteger, OtherIntegerConversions) {
  EXPECT_EQ(dt::FormatInteger("%x", 255), "ff");
  EXPECT_EQ(dt::FormatInteger("%X", 255), "FF");
  EXPECT_EQ(dt::FormatInteger("%#X", 255), "0XFF");
  EXPECT_EQ(dt::FormatInteger("%#o", 8), "010");
  EXPECT_EQ(dt::FormatInteger("%u", -1), "4294967295");
  EXPECT_EQ(dt::FormatInteger("%x", -1), "ffffffff");
  EXPECT_EQ(dt::FormatInteger("%d", std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

TEST(FormatInteger, ASecondConversionHasNoArgument) {
  EXPECT_EQ(ErrorOf("%d %d"), "No argument for format '%d %d'");
  EXPECT_EQ(ErrorOf("%d%%%s"), "No argument for format '%d%%%s'");
  EXPECT_EQ(ErrorOf("%*d"), "No argument for format '%*d'");
}

TEST(FormatInteger, ConversionsForOtherKindsAreRefused) {
  for (const char* format : {"%s", "%f", "%p", "%c", "%e", "%n", "%q", "50%", "%5", "%-", "%.2"}) {
    EXPECT_EQ(ErrorOf(format),
              "Format '" + std::string(format) + "' invalid or incompatible with argument");
  }
}

TEST(FormatInteger, HugeWidthsAreRefusedRatherThanAllocated) {
  EXPECT_EQ(ErrorOf("%999999999d"), "Format '%999999999d' invalid or incompatible with argument");
  EXPECT_EQ(dt::FormatInteger("%1024d", 1).size(), 1024u);
}

}  // namespace

#include "sysutils.h"

#include <gtest/gtest.h>

namespace forms {
namespace {

TEST(Format, FillsSpecifiersFromTypedArguments) {
  EXPECT_EQ(Format("%s has %d files", {std::string("Disk"), int64_t{3}}), "Disk has 3 files");
  EXPECT_EQ(Format("%5d|%-4s|%x|%X|%%", {int64_t{42}, std::string("ab"), int64_t{255}, int64_t{255}}),
            "   42|ab  |ff|FF|%");
  EXPECT_EQ(Format("%.2f", {1.005 + 1}), "2.00");
  EXPECT_EQ(Format("%.3s", {std::string("abcdef")}), "abc");
  EXPECT_EQ(Format("no specifiers", {}), "no specifiers");
  std::string long_text(2000, 'x');
  EXPECT_EQ(Format("<%s>", {long_text}), "<" + long_text + ">");
}

TEST(Format, RaisesWhenASpecifierDoesNotFitItsArgument) {
  struct Case {
    const char* pattern;
    std::vector<FormatArg> args;
  };
  const Case cases[] = {
      {"%d", {std::string("text")}},   // a number asked, a text given
      {"%s", {int64_t{1}}},            // a text asked, a number given
      {"%s and %s", {std::string("one")}},  // too few arguments
      {"%q", {int64_t{1}}},            // unknown specifier
      {"ends with %", {}},
  };
  for (const auto& c : cases) EXPECT_THROW(Format(c.pattern, c.args), EConvertError) << c.pattern;
}

TEST(TextHelpers, TrimCompareAndConvert) {
  EXPECT_EQ(Trim("  a b \t"), "a b");
  EXPECT_EQ(Trim(" \r\n"), "");
  EXPECT_TRUE(SameText("TInstallBDE", "TINSTALLBDE"));
  int32_t value = 0;
  EXPECT_TRUE(TryStrToInt("-17", value));
  EXPECT_EQ(value, -17);
  EXPECT_TRUE(TryStrToInt("0x1F", value));
  EXPECT_EQ(value, 31);
  EXPECT_TRUE(TryStrToInt("-2147483648", value));
  EXPECT_EQ(value, INT32_MIN);
  for (const char* bad : {"", " 1", "1 ", "12a", "2147483648", "-", "0x", "1.5"})
    EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
}

}  // namespace
}  // namespace forms

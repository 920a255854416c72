#include "desktop/os_error.h"

#include <gtest/gtest.h>

#include <string>

namespace tavrick {
namespace {

struct FormatCase {
  const char* message;
  int code;
  const char* expected;
};

constexpr FormatCase k_format_cases[] = {
    {"Access is denied.\r\n", 5, "Access is denied. (os error 5)"},              // Windows line end
    {"No such file or directory", 2, "No such file or directory (os error 2)"},  // nothing to cut
    {"Bad \t \n\v\f", 9, "Bad (os error 9)"},               // every trailing white space goes
    {"  leading kept ", 1, "  leading kept (os error 1)"},  // only trailing space is cut
    {"", 1234, "(os error 1234)"},                          // no message at all
    {"\r\n", 7, "(os error 7)"},                            // a message of white space only
    {"x", -2147024891, "x (os error -2147024891)"},         // negative codes in decimal
};

TEST(OsErrorTest, FormatsMessageAndCode) {
  for (const auto& c : k_format_cases) {
    EXPECT_EQ(format_os_error(c.message, c.code), c.expected) << c.code;
  }
}

TEST(OsErrorTest, SystemTextHasMessageAndCode) {
  // Code 2 is "file not found" on both platforms; the wording depends on the system.
  const std::string text = os_error_text(2);
  const std::string suffix = " (os error 2)";
  ASSERT_GT(text.size(), suffix.size());
  EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
  const char before = text[text.size() - suffix.size() - 1];
  EXPECT_FALSE(before == ' ' || before == '\n' || before == '\r' || before == '\t') << text;
}

}  // namespace
}  // namespace tavrick

#include "desktop/data_dir.h"

#include <gtest/gtest.h>

#include <string>

#include "support/process_io.h"

namespace tavrick {
namespace {

TEST(DataDirTest, LocalAppDataIsTakenUnchanged) {
  const struct {
    const char* base;
    const char* starts_with;
  } cases[] = {
      {"plain", "plain"},                    // relative, not checked
      {"Dữ liệu của An", "Dữ liệu của An"},  // non-ASCII letters and spaces
  };
  for (const auto& c : cases) {
    const test::ScopedEnv local("LOCALAPPDATA", c.base);
    EXPECT_EQ(data_dir(),
              std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(c.base))) /
                  "Orvalen Sorvic");
    const std::string text = path_text(data_dir());
    EXPECT_EQ(text.rfind(c.starts_with, 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 14), "Orvalen Sorvic");
  }
}

}  // namespace
}  // namespace tavrick

#include <cstdlib>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "desktop/data_dir.h"

namespace tavrick {
namespace {

/// Sets or unsets one variable while it lives.
class EnvValue {
 public:
  EnvValue(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = std::getenv(name); old != nullptr) {
      m_old = old;
    }
    apply(value);
  }
  EnvValue(const EnvValue&) = delete;
  EnvValue& operator=(const EnvValue&) = delete;
  ~EnvValue() { apply(m_old); }

 private:
  void apply(const std::optional<std::string>& value) {
    if (value) {
      setenv(m_name, value->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }
  const char* m_name;
  std::optional<std::string> m_old;
};

TEST(DataDirPosixTest, FallsBackFromLocalAppDataToXdgThenHomeThenTemp) {
  using Value = std::optional<std::string>;
  const struct {
    Value local, xdg, home, tmpdir;
    const char* expected;
  } cases[] = {
      {"/l", "/x", "/h", "/t", "/l/Orvalen Sorvic"},           // LOCALAPPDATA wins
      {"", "/x", "/h", "/t", "Orvalen Sorvic"},                // set but empty: unchanged
      {{}, "/x", "/h", "/t", "/x/Orvalen Sorvic"},             // XDG data folder
      {{}, "", "/h", "/t", "/h/.local/share/Orvalen Sorvic"},  // empty XDG is unset
      {{}, {}, "/h", "/t", "/h/.local/share/Orvalen Sorvic"},  // home's data folder
      {{}, {}, {}, "/t", "/t/Orvalen Sorvic"},                 // temporary folder
      {{}, {}, "", {}, "/tmp/Orvalen Sorvic"},                 // nothing at all
  };
  for (const auto& c : cases) {
    const EnvValue local("LOCALAPPDATA", c.local);
    const EnvValue xdg("XDG_DATA_HOME", c.xdg);
    const EnvValue home("HOME", c.home);
    const EnvValue tmpdir("TMPDIR", c.tmpdir);
    EXPECT_EQ(path_text(data_dir()), c.expected);
  }
}

}  // namespace
}  // namespace tavrick

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/agent_install.h"
#include "desktop/command_line.h"
#include "desktop/text_convert.h"

namespace tavrick {
namespace {

// The system's own parser of command lines.
std::vector<std::string> system_split(const std::string& line) {
  const std::u16string wide = utf16_from_utf8(line);
  int count = 0;
  wchar_t** words = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(wide.c_str()), &count);
  std::vector<std::string> result;
  for (int i = 0; i < count; ++i) {
    result.push_back(utf8_from_utf16(reinterpret_cast<const char16_t*>(words[i])));
  }
  LocalFree(words);
  return result;
}

TEST(CommandLineWin32Test, SystemParserGivesBackEveryArgument) {
  const ChildCommand command{.program = R"(C:\Program Files\x\child.exe)",
                             .args = {"plain", "", "two words", "tab\there", R"(say "hi")",
                                      R"(C:\my dir\)", R"(a\"b)", R"(a\\b c)", "\"", "Dữ liệu ✗"}};
  std::vector<std::string> expected{command.program};
  expected.insert(expected.end(), command.args.begin(), command.args.end());
  EXPECT_EQ(system_split(windows_command_line(command)), expected);
}

TEST(CommandLineWin32Test, SystemParserReadsTheRunValueAsInstalled) {
  const std::string agent = R"(C:\Program Files\Tavrick\tavrick-agent.exe)";
  for (const std::string source : {"loupedeck", "Loupedeck+", R"(ends\)", R"(say "x")", ""}) {
    const std::vector<std::string> expected{agent, "--port", "7980", "--source", source};
    EXPECT_EQ(system_split(run_value_data(agent, 7980, source)), expected) << source;
  }
}

}  // namespace
}  // namespace tavrick

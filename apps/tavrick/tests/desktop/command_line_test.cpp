#include "desktop/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "desktop/agent_install.h"

namespace tavrick {
namespace {

// Splits a command line the way the C runtime of a Windows program does (and CommandLineToArgvW
// for everything these tests build): the program name up to the next quotation mark or blank,
// then arguments where 2n backslashes before a quotation mark give n, 2n+1 give n and a literal
// quotation mark, and other backslashes are literal.
std::vector<std::string> parse_windows_command_line(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  std::string program;
  if (!line.empty() && line[0] == '"') {
    const std::size_t end = line.find('"', 1);
    program = line.substr(1, end - 1);
    i = end == std::string_view::npos ? line.size() : end + 1;
  } else {
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
      program += line[i++];
    }
  }
  words.push_back(program);
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
      ++i;
    }
    if (i == line.size()) {
      return words;
    }
    std::string word;
    bool quoted = false;
    while (i < line.size()) {
      const char c = line[i];
      if (c == '\\') {
        std::size_t count = 0;
        while (i < line.size() && line[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < line.size() && line[i] == '"') {
          word.append(count / 2, '\\');
          if (count % 2 == 1) {
            word += '"';
            ++i;
          }
        } else {
          word.append(count, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else if ((c == ' ' || c == '\t') && !quoted) {
        break;
      } else {
        word += c;
        ++i;
      }
    }
    words.push_back(word);
  }
}

struct QuotingCase {
  std::string_view arg;
  std::string_view quoted;
};

constexpr QuotingCase k_quoting_cases[] = {
    {"plain", "plain"},                              // nothing to quote
    {"", R"("")"},                                   // empty: a pair of quotation marks
    {"two words", R"("two words")"},                 // space
    {"tab\there", "\"tab\there\""},                  // tab
    {R"(say "hi")", R"("say \"hi\"")"},              // inner quotation marks
    {R"(C:\dir\)", R"(C:\dir\)"},                    // backslashes alone stay literal
    {R"(C:\my dir\)", R"("C:\my dir\\")"},           // trailing backslash before the closing mark
    {R"(a\"b)", R"("a\\\"b")"},                      // backslash before an inner quotation mark
    {R"(a\\b c)", R"("a\\b c")"},                    // backslashes not before a quotation mark
    {R"(\\server\share\\)", R"(\\server\share\\)"},  // UNC-like, no quoting needed
    {"\"", R"("\"")"},                               // a lone quotation mark
    {"Dữ liệu ✗", "\"Dữ liệu ✗\""},                  // UTF-8 passes through
};

TEST(CommandLineTest, QuotesEachArgumentByTheStandardRules) {
  for (const QuotingCase& c : k_quoting_cases) {
    std::string line;
    append_quoted_argument(line, c.arg, Quoting::when_needed);
    EXPECT_EQ(line, c.quoted) << c.arg;
  }
}

TEST(CommandLineTest, EveryArgumentComesBackUnchanged) {
  ChildCommand command{.program = R"(C:\Program Files\x\child.exe)", .args = {}};
  for (const QuotingCase& c : k_quoting_cases) {
    command.args.emplace_back(c.arg);
  }
  const std::vector<std::string> words = parse_windows_command_line(windows_command_line(command));
  ASSERT_EQ(words.size(), command.args.size() + 1);
  EXPECT_EQ(words[0], command.program);
  for (std::size_t i = 0; i < command.args.size(); ++i) {
    EXPECT_EQ(words[i + 1], command.args[i]) << i;
  }
}

TEST(CommandLineTest, ProgramNameIsAlwaysQuotedAndPlainArgumentsAreNot) {
  EXPECT_EQ(windows_command_line({.program = "setx", .args = {"SORVIC_CONTROL_PORT", "7980"}}),
            R"("setx" SORVIC_CONTROL_PORT 7980)");
  EXPECT_EQ(windows_command_line({.program = "reg", .args = {}}), R"("reg")");
}

TEST(RunValueTest, OrdinarySourceGivesTheQuotedPathPortAndQuotedSource) {
  EXPECT_EQ(run_value_data(R"(C:\Program Files\Tavrick\tavrick-agent.exe)", 7980, "loupedeck"),
            R"("C:\Program Files\Tavrick\tavrick-agent.exe" --port 7980 --source "loupedeck")");
  EXPECT_EQ(run_value_data(R"(C:\t\tavrick-agent.exe)", 9000, "my surface"),
            R"("C:\t\tavrick-agent.exe" --port 9000 --source "my surface")");
}

constexpr std::string_view k_sources[] = {
    "loupedeck",           // the default
    "Loupedeck+",          // a sign
    "my surface",          // a space
    "",                    // empty
    R"(ends\)",            // a trailing backslash would otherwise escape the closing mark
    R"(ends\\)",           // two of them
    R"(say "x")",          // quotation marks
    R"(a\"b)",             // backslash then quotation mark
    "tab\tand ✗ Dữ liệu",  // tab and non-ASCII letters
    "--no-env",            // looks like an option, is a value
};

// The agent started at logon reads the Run value as its command line; so does `reg` the whole
// nine-argument line that carries it.
TEST(RunValueTest, AgentReadsBackExactlyThePortAndSource) {
  const std::string agent = R"(C:\Program Files\Tavrick\tavrick-agent.exe)";
  for (const std::string_view source : k_sources) {
    const std::string data = run_value_data(agent, 65535, source);
    const std::vector<std::string> expected{agent, "--port", "65535", "--source",
                                            std::string(source)};
    EXPECT_EQ(parse_windows_command_line(data), expected) << data;

    const ChildCommand reg{
        .program = "reg",
        .args = {"add", R"(HKCU\Software\Microsoft\Windows\CurrentVersion\Run)", "/v",
                 "Orvalen Sorvic Loupedeck", "/t", "REG_SZ", "/d", data, "/f"}};
    const std::vector<std::string> reg_words =
        parse_windows_command_line(windows_command_line(reg));
    ASSERT_EQ(reg_words.size(), 10u);
    EXPECT_EQ(reg_words[8], data);
  }
}

// Reads the Exec line of a desktop entry as a desktop session does: the value's string escapes
// first, then quoting with backslash escapes, then %% as a percent sign.
std::vector<std::string> parse_exec_line(std::string_view entry) {
  const std::size_t start = entry.find("\nExec=") + 6;
  const std::string_view raw = entry.substr(start, entry.find('\n', start) - start);
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      const char next = raw[++i];
      value += next == 'n'   ? '\n'
               : next == 't' ? '\t'
               : next == 'r' ? '\r'
               : next == 's' ? ' '
                             : next;
    } else {
      value += raw[i];
    }
  }
  std::vector<std::string> words;
  std::size_t i = 0;
  while (true) {
    while (i < value.size() && value[i] == ' ') {
      ++i;
    }
    if (i == value.size()) {
      return words;
    }
    std::string word;
    bool quoted = false;
    for (; i < value.size() && (quoted || value[i] != ' '); ++i) {
      if (value[i] == '"') {
        quoted = !quoted;
      } else if (quoted && value[i] == '\\' && i + 1 < value.size()) {
        word += value[++i];
      } else if (value[i] == '%' && i + 1 < value.size() && value[i + 1] == '%') {
        word += value[++i];
      } else {
        word += value[i];
      }
    }
    words.push_back(word);
  }
}

TEST(AutostartEntryTest, ExecLineGivesTheAgentExactlyThePortAndSource) {
  const std::string agent = "/home/an/Tải về/tavrick $1/tavrick-agent";
  for (const std::string_view source : k_sources) {
    const std::string entry = autostart_entry(agent, 7980, source);
    const std::vector<std::string> expected{agent, "--port", "7980", "--source",
                                            std::string(source)};
    EXPECT_EQ(parse_exec_line(entry), expected) << entry;
  }
  const std::vector<std::string> percent{"/opt/t/tavrick-agent", "--port", "1", "--source",
                                         "100% `x` \\n"};
  EXPECT_EQ(parse_exec_line(autostart_entry(percent[0], 1, percent[4])), percent);
}

TEST(AutostartEntryTest, IsAnApplicationEntryWithTheUsualExecForm) {
  const std::string entry = autostart_entry("/opt/tavrick/tavrick-agent", 7980, "loupedeck");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\nType=Application\n", 0), 0u);
  EXPECT_NE(
      entry.find("\nExec=\"/opt/tavrick/tavrick-agent\" --port 7980 --source \"loupedeck\"\n"),
      std::string::npos);
}

}  // namespace
}  // namespace tavrick

#include "desktop/log.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/open_file.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

using test::read_file;
using test::write_file;

struct LogTest : testing::Test {
  void SetUp() override { set_log_capture({}); }
  void TearDown() override { clear_log_file(); }

  static std::uint64_t now_seconds() { return unix_seconds(std::chrono::system_clock::now()); }

  test::ScratchFolder folder;
};

/// Splits "{seconds} {text}" of one file line; fails the test when the stamp is malformed.
std::pair<std::uint64_t, std::string> split_stamp(const std::string& line) {
  const std::size_t space = line.find(' ');
  EXPECT_NE(space, std::string::npos) << line;
  const std::string digits = line.substr(0, space);
  EXPECT_FALSE(digits.empty());
  EXPECT_TRUE(digits == "0" || digits.front() != '0') << "leading zero in " << line;
  std::uint64_t seconds = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), seconds);
  EXPECT_TRUE(error == std::errc() && end == digits.data() + digits.size()) << line;
  return {seconds, space == std::string::npos ? "" : line.substr(space + 1)};
}

std::vector<std::string> file_lines(const std::filesystem::path& path) {
  const std::string content = read_file(path);
  EXPECT_TRUE(content.empty() || content.back() == '\n');
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(content.substr(start, end - start));
  }
  return lines;
}

TEST_F(LogTest, FileLinesCarryUnixSecondsAndText) {
  const auto path = folder.path() / "loupedeck.log";
  ASSERT_TRUE(set_log_file(path).has_value());
  const std::uint64_t before = now_seconds();
  log_line("→ đã kết nối Sorvic");
  const std::uint64_t after = now_seconds();

  const auto lines = file_lines(path);
  ASSERT_EQ(lines.size(), 1u);
  const auto [seconds, text] = split_stamp(lines[0]);
  EXPECT_GE(seconds, before);
  EXPECT_LE(seconds, after);
  EXPECT_GT(seconds, 1'600'000'000u);  // a real clock, not a count from program start
  EXPECT_EQ(text, "→ đã kết nối Sorvic");
}

struct TextCase {
  const char* text;
  const char* after_stamp;
};

const TextCase k_texts[] = {
    {"", " \n"},                    // empty text: stamp, space, line feed
    {"a\nb", " a\nb\n"},            // inner line feeds unchanged, one stamp
    {"x\r", " x\r\n"},              // no carriage return is added or removed
    {"  ✗ lỗi  ", "   ✗ lỗi  \n"},  // spaces kept as they are
};

TEST_F(LogTest, TextIsWrittenUnchangedAfterTheStamp) {
  for (const auto& c : k_texts) {
    clear_log_file();
    const auto path = folder.path() / "text.log";
    std::filesystem::remove(path);
    ASSERT_TRUE(set_log_file(path).has_value());
    log_line(c.text);
    const std::string content = read_file(path);
    const std::size_t space = content.find(' ');
    ASSERT_NE(space, std::string::npos) << c.text;
    EXPECT_EQ(content.substr(space), c.after_stamp) << c.text;
    EXPECT_EQ(content.substr(0, space).find_first_not_of("0123456789"), std::string::npos);
  }
}

struct SizeCase {
  std::uintmax_t existing;  // bytes in the file before it is set; max: no file
  bool kept;
};

constexpr auto k_no_file = static_cast<std::uintmax_t>(-1);

const SizeCase k_sizes[] = {
    {k_no_file, false},  // missing file is created
    {0, true},           // empty file
    {100, true},         // small file appended to
    {1'048'576, true},   // exactly 1 MiB is not cut
    {1'048'577, false},  // one byte more is emptied
    {2'000'000, false},  // well over the limit
};

TEST_F(LogTest, FilesOverOneMebibyteAreEmptiedOthersAppended) {
  for (const auto& c : k_sizes) {
    clear_log_file();
    const auto path = folder.path() / "size.log";
    std::filesystem::remove(path);
    std::string old;
    if (c.existing != k_no_file) {
      old.assign(c.existing, 'o');
      write_file(path, old);
    }
    ASSERT_TRUE(set_log_file(path).has_value()) << c.existing;
    log_line("new");
    const std::string content = read_file(path);
    const std::string expected_old = c.kept ? old : "";
    ASSERT_GE(content.size(), expected_old.size()) << c.existing;
    EXPECT_TRUE(content.starts_with(expected_old)) << c.existing;
    EXPECT_EQ(split_stamp(content.substr(expected_old.size())).second, "new\n") << c.existing;
  }
}

TEST_F(LogTest, MissingFoldersAreCreated) {
  const auto path = folder.path() / "Orvalen Sorvic" / "deeper" / "loupedeck.log";
  ASSERT_TRUE(set_log_file(path).has_value());
  log_line("ok");
  EXPECT_EQ(file_lines(path).size(), 1u);
}

TEST_F(LogTest, FailureKeepsThePreviousFile) {
  const auto first = folder.path() / "first.log";
  ASSERT_TRUE(set_log_file(first).has_value());
  write_file(folder.path() / "blocker", "a file where a folder should be");

  const auto failed = set_log_file(folder.path() / "blocker" / "sub" / "x.log");
  ASSERT_FALSE(failed.has_value());
  EXPECT_NE(failed.error().find(" (os error "), std::string::npos) << failed.error();
  const auto also_failed = set_log_file(folder.path());  // a folder is no file
  ASSERT_FALSE(also_failed.has_value());
  EXPECT_NE(also_failed.error().find(" (os error "), std::string::npos) << also_failed.error();

  log_line("still here");
  const auto lines = file_lines(first);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(split_stamp(lines[0]).second, "still here");
}

TEST_F(LogTest, SettingASecondFileMovesLaterLinesThere) {
  const auto first = folder.path() / "first.log";
  const auto second = folder.path() / "second.log";
  ASSERT_TRUE(set_log_file(first).has_value());
  log_line("one");
  EXPECT_TRUE(test::file_open_in_this_process(first));
  ASSERT_TRUE(set_log_file(second).has_value());
  log_line("two");
  EXPECT_FALSE(test::file_open_in_this_process(first)) << "the first file is still open";
  EXPECT_TRUE(test::file_open_in_this_process(second));

  const auto first_lines = file_lines(first);
  const auto second_lines = file_lines(second);
  ASSERT_EQ(first_lines.size(), 1u);
  ASSERT_EQ(second_lines.size(), 1u);
  EXPECT_EQ(split_stamp(first_lines[0]).second, "one");
  EXPECT_EQ(split_stamp(second_lines[0]).second, "two");
}

TEST_F(LogTest, OtherWritersAndDeletionAreAllowedWhileOpen) {
  const auto path = folder.path() / "shared.log";
  ASSERT_TRUE(set_log_file(path).has_value());
  log_line("mine 1");
  {
    std::ofstream other(path, std::ios::binary | std::ios::app);
    ASSERT_TRUE(other.is_open());
    other << "theirs\n";
  }
  log_line("mine 2");  // lands after the other writer's line, never over it
  const auto lines = file_lines(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(split_stamp(lines[0]).second, "mine 1");
  EXPECT_EQ(lines[1], "theirs");
  EXPECT_EQ(split_stamp(lines[2]).second, "mine 2");

  EXPECT_TRUE(std::filesystem::remove(path));
  log_line("into the removed file");  // must neither fail nor crash
}

TEST_F(LogTest, TwoThreadsNeverMixTheirLines) {
  const auto path = folder.path() / "threads.log";
  ASSERT_TRUE(set_log_file(path).has_value());
  constexpr int k_lines = 2000;
  const std::string payload(300, '#');
  auto writer = [&](char name) {
    for (int i = 0; i < k_lines; ++i) {
      log_line(std::string(1, name).append(std::to_string(i)).append(payload));
    }
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();

  const auto lines = file_lines(path);
  ASSERT_EQ(lines.size(), 2u * k_lines);
  int next[2] = {0, 0};
  for (const auto& line : lines) {
    const auto [seconds, text] = split_stamp(line);
    ASSERT_TRUE(text.starts_with('a') || text.starts_with('b')) << text;
    ASSERT_TRUE(text.ends_with(payload)) << text;
    const int which = text[0] - 'a';
    EXPECT_EQ(text.substr(1, text.size() - 1 - payload.size()), std::to_string(next[which]));
    ++next[which];
  }
  EXPECT_EQ(next[0], k_lines);
  EXPECT_EQ(next[1], k_lines);
}

TEST_F(LogTest, WithoutAFileLinesGoToStandardOutput) {
  const auto out = folder.path() / "stdout.txt";
  {
    const test::StreamToFile redirect(Stream::out, out);
    log_line("Nút note 0: chưa gán");
    log_line("");
  }
  EXPECT_EQ(read_file(out), "Nút note 0: chưa gán\n\n");
}

TEST_F(LogTest, CaptureTakesLinesInsteadOfTheFile) {
  const auto path = folder.path() / "captured.log";
  ASSERT_TRUE(set_log_file(path).has_value());
  std::vector<std::string> captured;
  set_log_capture([&](std::string_view text) { captured.emplace_back(text); });
  log_line("x");
  set_log_capture({});
  log_line("y");
  EXPECT_EQ(captured, std::vector<std::string>{"x"});
  const auto lines = file_lines(path);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(split_stamp(lines[0]).second, "y");
}

struct StampCase {
  std::chrono::system_clock::duration since_epoch;
  std::uint64_t seconds;
};

using namespace std::chrono_literals;

const StampCase k_stamps[] = {
    {0s, 0},                                  // the epoch itself
    {999ms, 0},                               // rounded down
    {1s, 1},                                  //
    {-1ms, 0},                                // just before 1970: 0, not -1 rounded
    {-std::chrono::hours(24 * 365 * 30), 0},  // decades before 1970
    {1'000'000'000s + 999ms, 1'000'000'000},  // 2001-09-09 01:46:40.999
};

TEST(LogStampTest, WholeSecondsSinceTheEpoch) {
  for (const auto& c : k_stamps) {
    EXPECT_EQ(unix_seconds(std::chrono::system_clock::time_point(c.since_epoch)), c.seconds);
  }
  using std::chrono::sys_days;
  const auto date = sys_days(std::chrono::year(2001) / 9 / 9) + 1h + 46min + 40s;
  EXPECT_EQ(unix_seconds(date), 1'000'000'000u);
}

}  // namespace
}  // namespace tavrick

#include "desktop/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/console_output.h"
#include "desktop/os_error.h"
#include "support/background_process.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

struct ChildProcessTest : testing::Test {
  test::ScratchFolder folder;
  const std::string child = TAVRICK_TEST_CHILD_EXE;

  [[nodiscard]] std::string out_file() const { return (folder.path() / "args.txt").string(); }

  static std::string lines(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) {
      text += arg + "\n";
    }
    return text;
  }
};

// Arguments that a careless command line would split, merge or change.
const std::vector<std::string> k_tricky_args = {
    "plain",
    "",               // empty
    "two words",      // space
    "tab\tinside",    // tab
    R"(say "hi")",    // quotation marks
    R"(C:\dir\)",     // trailing backslash, no quoting needed
    R"(C:\my dir\)",  // trailing backslash inside quotation marks
    R"(a\"b)",        // backslash before a quotation mark
    R"(a\\b c)",      // backslashes inside
    "\"",             // a lone quotation mark
    "--port",         // option-like
    "Dữ liệu ✗ ══",   // non-ASCII
};

TEST_F(ChildProcessTest, MissingProgramGivesTheSystemTextForFileNotFound) {
  const auto result = run_checked({.program = "tavrick-no-such-program", .args = {"x"}});
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), os_error_text(2));

  const auto detached = start_detached({.program = "tavrick-no-such-program", .args = {}});
  ASSERT_FALSE(detached.has_value());
  EXPECT_EQ(detached.error(), os_error_text(2));
}

TEST_F(ChildProcessTest, ExitCodeDecidesSuccess) {
  struct Case {
    const char* code;
    bool succeeds;
    const char* text;
  };
  const Case cases[] = {
      {"0", true, ""},                   // success
      {"1", false, "thoát với mã 1"},    // the usual failure
      {"42", false, "thoát với mã 42"},  // any other code
  };
  for (const Case& c : cases) {
    const auto result = run_checked({.program = child, .args = {"exit", c.code}});
    EXPECT_EQ(result.has_value(), c.succeeds) << c.code;
    if (!result) {
      EXPECT_EQ(result.error(), c.text);
    }
  }
}

TEST_F(ChildProcessTest, ArgumentsArriveUnchanged) {
  std::vector<std::string> args{"args", out_file()};
  args.insert(args.end(), k_tricky_args.begin(), k_tricky_args.end());
  ASSERT_TRUE(run_checked({.program = child, .args = args}).has_value());
  EXPECT_EQ(test::read_file(out_file()), lines(k_tricky_args));
}

TEST_F(ChildProcessTest, DetachedChildRunsWithItsArgumentsWhileTheCallerGoesOn) {
  std::vector<std::string> args{"args", out_file()};
  args.insert(args.end(), k_tricky_args.begin(), k_tricky_args.end());
  ASSERT_TRUE(start_detached({.program = child, .args = args}).has_value());
  ASSERT_TRUE(test::wait_until([&] { return std::filesystem::exists(out_file()); }));
  EXPECT_EQ(test::read_file(out_file()), lines(k_tricky_args));
}

// What a waited-for child writes reaches the caller's standard output; a detached child holds
// none of the caller's streams, so a reader of them sees their end while the child runs on.
TEST_F(ChildProcessTest, OnlyWaitedForChildrenShareTheCallersStreams) {
  const auto held = folder.path() / "held";
  const auto release = folder.path() / "release";
  test::StreamToPipe out(Stream::out);
  ASSERT_TRUE(run_checked({.program = child, .args = {"print", "waited for"}}).has_value());
  ASSERT_TRUE(
      start_detached({.program = child, .args = {"hold", held.string(), release.string()}}));
  out.restore();
  ASSERT_TRUE(test::wait_until([&] { return std::filesystem::exists(held); }));
  EXPECT_EQ(out.read_to_end(std::chrono::seconds(60)), "waited for\n");
  test::write_file(release, "");
  EXPECT_TRUE(test::wait_until([&] { return !std::filesystem::exists(held); }));
}

TEST(ExitCodeTextTest, WritesTheCodeSigned) {
  EXPECT_EQ(exit_code_text(1), "thoát với mã 1");
  EXPECT_EQ(exit_code_text(static_cast<std::int32_t>(0xC0000005u)), "thoát với mã -1073741819");
}

}  // namespace
}  // namespace tavrick

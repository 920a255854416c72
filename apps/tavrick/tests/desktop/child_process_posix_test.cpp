#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "desktop/child_process.h"
#include "support/background_process.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

TEST(ChildProcessPosixTest, SignalCountsAs128PlusItsNumber) {
  const auto result = run_checked({.program = "sh", .args = {"-c", "kill -TERM $$"}});
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "thoát với mã 143");
}

TEST(ChildProcessPosixTest, ExitCodeIsTheLowByte) {
  const auto result = run_checked({.program = TAVRICK_TEST_CHILD_EXE, .args = {"exit", "-1"}});
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "thoát với mã 255");
}

TEST(ChildProcessPosixTest, ProgramIsFoundAlongPath) {
  test::ScratchFolder folder;
  const std::filesystem::path link = folder.path() / "tavrick-test-child";
  std::filesystem::create_symlink(TAVRICK_TEST_CHILD_EXE, link);
  const test::ScopedEnv path("PATH", "/nonexistent:" + folder.path().string());
  EXPECT_EQ(run_checked({.program = "tavrick-test-child", .args = {"exit", "3"}}).error(),
            "thoát với mã 3");
  const std::filesystem::path out = folder.path() / "out.txt";
  ASSERT_TRUE(
      start_detached({.program = "tavrick-test-child", .args = {"args", out.string(), "x"}}));
  ASSERT_TRUE(test::wait_until([&] { return std::filesystem::exists(out); }));
  EXPECT_EQ(test::read_file(out), "x\n");
}

// The detached child is not this process's child (so it can never be left as this process's
// zombie) and has left this process's session (so it belongs to no terminal).
TEST(ChildProcessPosixTest, DetachedChildBelongsToAnotherParentAndSession) {
  test::ScratchFolder folder;
  const std::filesystem::path out = folder.path() / "session.txt";
  ASSERT_TRUE(
      start_detached({.program = TAVRICK_TEST_CHILD_EXE, .args = {"session", out.string()}}));
  ASSERT_TRUE(test::wait_until([&] { return std::filesystem::exists(out); }));
  std::istringstream fields(test::read_file(out));
  long pid = 0;
  long parent = 0;
  long session = 0;
  fields >> pid >> parent >> session;
  EXPECT_NE(parent, static_cast<long>(getpid()));
  EXPECT_NE(session, static_cast<long>(getsid(0)));
  EXPECT_NE(session, 0);
}

}  // namespace
}  // namespace tavrick

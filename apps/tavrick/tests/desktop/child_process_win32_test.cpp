#include <gtest/gtest.h>

#include <string>

#include "desktop/child_process.h"

namespace tavrick {
namespace {

TEST(ChildProcessWin32Test, ExceptionExitCodeReadsAsNegative) {
  const auto result =
      run_checked({.program = TAVRICK_TEST_CHILD_EXE, .args = {"exit", "-1073741819"}});
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "thoát với mã -1073741819");
}

}  // namespace
}  // namespace tavrick

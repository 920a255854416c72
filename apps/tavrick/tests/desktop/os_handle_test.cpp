#include "desktop/os_handle.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "support/pipe_ends.h"

namespace tavrick {
namespace {

// The owner of this platform's files (a descriptor on Linux, a HANDLE on Windows), watched
// through the reader of a pipe whose writing end it holds.
struct OsHandleTest : testing::Test {
  test::PipeEnds pipe = test::make_pipe();
  void SetUp() override { ASSERT_TRUE(pipe.read_end.is_open()); }
};

TEST_F(OsHandleTest, MovedFromOwnerLeavesTheHandleToItsNewOwner) {
  std::optional<UniqueFile> first(std::in_place, pipe.write_end);
  UniqueFile second = std::move(*first);
  EXPECT_FALSE(first->is_open());
  first.reset();
  EXPECT_FALSE(test::writer_closed(pipe.read_end));
  second = UniqueFile();
  EXPECT_TRUE(test::writer_closed(pipe.read_end));
}

TEST_F(OsHandleTest, AssigningOverAnOwnerClosesWhatItHeld) {
  test::PipeEnds other = test::make_pipe();
  ASSERT_TRUE(other.read_end.is_open());
  UniqueFile owner(pipe.write_end);
  owner = UniqueFile(other.write_end);
  EXPECT_TRUE(test::writer_closed(pipe.read_end));
  EXPECT_FALSE(test::writer_closed(other.read_end));
}

TEST_F(OsHandleTest, ReleaseGivesTheHandleUpAndResetClosesIt) {
  std::optional<UniqueFile> owner(std::in_place, pipe.write_end);
  EXPECT_EQ(owner->release(), pipe.write_end);
  owner.reset();
  EXPECT_FALSE(test::writer_closed(pipe.read_end));
  UniqueFile again;
  again.reset(pipe.write_end);
  again.reset();
  EXPECT_FALSE(again.is_open());
  EXPECT_TRUE(test::writer_closed(pipe.read_end));
}

}  // namespace
}  // namespace tavrick

#include "desktop/instance_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "desktop/data_dir.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

constexpr const char* k_refused = "driver Loupedeck đã đang chạy (chỉ được một bản)";

// Each test gets a data folder of its own, inside a scratch folder with a space and Vietnamese
// letters in its name.
struct InstanceLockTest : testing::Test {
  test::ScratchFolder scratch;
  std::filesystem::path base = scratch.path() / std::filesystem::path(u8"dữ liệu cục bộ") / "x";
  test::ScopedEnv local_app_data{"LOCALAPPDATA", path_text(base)};
  std::filesystem::path folder = base / "Orvalen Sorvic";
};

TEST_F(InstanceLockTest, FirstAcquireCreatesTheMissingDataFolderAndAnEmptyLockFile) {
  ASSERT_FALSE(std::filesystem::exists(base));
  const auto lock = acquire_instance_lock();
  ASSERT_TRUE(lock.has_value()) << lock.error();
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(std::filesystem::file_size(folder / "loupedeck.lock"), 0u);
}

TEST_F(InstanceLockTest, SecondAcquireIsRefusedUntilTheFirstIsReleased) {
  std::optional<InstanceLock> first;
  {
    auto taken = acquire_instance_lock();
    ASSERT_TRUE(taken.has_value()) << taken.error();
    first.emplace(std::move(*taken));
  }
  const auto second = acquire_instance_lock();
  ASSERT_FALSE(second.has_value());
  EXPECT_EQ(second.error(), k_refused);

  first.reset();
  const auto third = acquire_instance_lock();
  EXPECT_TRUE(third.has_value()) << third.error();
  // The file from before is reused, still empty.
  EXPECT_EQ(std::filesystem::file_size(folder / "loupedeck.lock"), 0u);
}

TEST_F(InstanceLockTest, MovedLockStaysHeld) {
  auto taken = acquire_instance_lock();
  ASSERT_TRUE(taken.has_value());
  InstanceLock moved = std::move(*taken);
  EXPECT_FALSE(acquire_instance_lock().has_value());
}

TEST_F(InstanceLockTest, UnopenableLockFileGivesTheSameRefusal) {
  // A folder where the lock file should be cannot be opened for writing, not even by root.
  std::filesystem::create_directories(folder / "loupedeck.lock");
  const auto lock = acquire_instance_lock();
  ASSERT_FALSE(lock.has_value());
  EXPECT_EQ(lock.error(), k_refused);
}

TEST_F(InstanceLockTest, DataFolderThatCannotBeMadeNamesTheFolderAndTheReason) {
  std::filesystem::create_directories(base.parent_path());
  test::write_file(base, "a file where a folder should be");
  const auto lock = acquire_instance_lock();
  ASSERT_FALSE(lock.has_value());
  const std::string prefix = path_text(folder) + ": ";
  EXPECT_EQ(lock.error().rfind(prefix, 0), 0u) << lock.error();
  EXPECT_NE(lock.error().find(" (os error "), std::string::npos) << lock.error();
  EXPECT_EQ(lock.error().back(), ')');
}

}  // namespace
}  // namespace tavrick

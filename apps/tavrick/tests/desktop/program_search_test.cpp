#include "desktop/program_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/os_error.h"
#include "support/planted_programs.h"

namespace tavrick {
namespace {

using Copies = std::vector<std::string>;

struct ProgramSearchTest : test::PlantedProgramsTest {
  /// PATH with the folder `listed` and entries that would each mean the current folder.
  [[nodiscard]] std::string path_with_relative_entries() const {
    return test::path_list({".", "", "../here", listed.string()});
  }
};

TEST_F(ProgramSearchTest, CurrentFolderIsNeverSearched) {
  plant(here, "tool" + extension);
  EXPECT_EQ(run("tool", {"exit", "7"}, path_with_relative_entries()), os_error_text(2));
  EXPECT_EQ(started(), Copies{});
}

TEST_F(ProgramSearchTest, PathFolderIsSearchedAndBeatsTheCurrentFolder) {
  plant(here, "tool" + extension);
  plant(listed, "tool" + extension);
  // On Windows the name without an extension is looked up with ".exe" added.
  EXPECT_EQ(run("tool", {"exit", "7"}, path_with_relative_entries()), "thoát với mã 7");
  EXPECT_EQ(started(), Copies{"listed/tool" + extension});
}

TEST_F(ProgramSearchTest, RunningProgramsFolderComesFirst) {
  plant(here, "tool" + extension);
  plant(listed, "tool" + extension);
  plant(app, "tool" + extension);
  EXPECT_EQ(run("tool", {"exit", "7"}, listed.string()), "thoát với mã 7");
  EXPECT_EQ(started(), Copies{"app/tool" + extension});
}

TEST_F(ProgramSearchTest, NameWithAFolderIsTakenAsItIs) {
  plant(listed, "tool" + extension);
  EXPECT_EQ(run((listed / ("tool" + extension)).string(), {"exit", "0"}, ""), "ok");
  EXPECT_EQ(started(), Copies{"listed/tool" + extension});
}

TEST(FindProgramTest, MissingProgramGivesTheSystemTextForAMissingFile) {
  for (const char* name : {"tavrick-no-such-program", ""}) {
    const auto found = find_program(name);
    ASSERT_FALSE(found.has_value()) << name;
    EXPECT_EQ(found.error(), os_error_text(2));
  }
}

}  // namespace
}  // namespace tavrick

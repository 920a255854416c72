#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/planted_programs.h"

namespace tavrick {
namespace {

using Copies = std::vector<std::string>;

struct ProgramSearchWin32Test : test::PlantedProgramsTest {};

// A setx.exe lying in the current folder or in a folder of PATH does not stand in for the
// system's own; one beside the running program does. "/?" only asks the real setx for its help.
TEST_F(ProgramSearchWin32Test, SystemFolderComesBeforePathAndTheCurrentFolderIsNotSearched) {
  plant(here, "setx.exe");
  plant(listed, "setx.exe");
  EXPECT_EQ(run("setx", {"/?"}, listed.string()), "ok");
  EXPECT_EQ(started(), Copies{});

  plant(app, "setx.exe");
  // The test child does not know "/?": it prints its usage and ends with 2.
  EXPECT_EQ(run("setx", {"/?"}, listed.string()), "thoát với mã 2");
  EXPECT_EQ(started(), Copies{"app/setx.exe"});
}

}  // namespace
}  // namespace tavrick

#pragma once
// Copies of the test child planted under one name in several folders, and a copy of it in a
// folder of its own that runs that name as the bridge runs its child programs. Every copy writes
// its own path to a trace file when it starts, so the test sees which one ran.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "desktop/data_dir.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick::test {

struct PlantedProgramsTest : testing::Test {
  ScratchFolder scratch;
  /// The folder of the running program (the runner).
  const std::filesystem::path app = scratch.path() / "app";
  /// The current folder the runner is started in, like the Downloads folder of a user.
  const std::filesystem::path here = scratch.path() / "here";
  /// A folder to put in PATH.
  const std::filesystem::path listed = scratch.path() / "listed";
  /// ".exe" on Windows, nothing on Linux.
  const std::string extension = std::filesystem::path(TAVRICK_TEST_CHILD_EXE).extension().string();
  const std::filesystem::path runner = app / ("runner" + extension);
  const std::filesystem::path trace = scratch.path() / "trace.txt";
  const std::filesystem::path previous_folder = std::filesystem::current_path();

  PlantedProgramsTest() {
    for (const auto& folder : {app, here, listed}) {
      std::filesystem::create_directories(folder);
    }
    std::filesystem::copy_file(TAVRICK_TEST_CHILD_EXE, runner);
    std::filesystem::current_path(here);
  }
  ~PlantedProgramsTest() override { std::filesystem::current_path(previous_folder); }

  /// Puts a copy of the test child into `folder` as `file`.
  void plant(const std::filesystem::path& folder, const std::string& file) const {
    std::filesystem::copy_file(TAVRICK_TEST_CHILD_EXE, folder / file);
  }

  /// Runs `program` with `args` through the runner, from the current folder `here`, with PATH
  /// set to `path`: "ok" or the error text of run_checked.
  [[nodiscard]] std::string run(const std::string& program, const std::vector<std::string>& args,
                                const std::string& path) const {
    std::vector<std::string> runner_args{"run", program};
    runner_args.insert(runner_args.end(), args.begin(), args.end());
    const ProgramResult result = run_program(
        runner, runner_args, {{"PATH", path}, {"TAVRICK_TEST_CHILD_TRACE", path_text(trace)}},
        scratch.path());
    EXPECT_EQ(result.exit_code, 0) << result.err;
    std::string line = result.out;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
      line.pop_back();
    }
    return line;
  }

  /// The copies that ran, in order, without the runner itself: each as its folder's name and
  /// its file name ("listed/tool").
  [[nodiscard]] std::vector<std::string> started() const {
    std::vector<std::string> copies;
    std::istringstream lines(read_file(trace));
    for (std::string line; std::getline(lines, line);) {
      const std::filesystem::path path(line);
      const std::string copy = (path.parent_path().filename() / path.filename()).generic_string();
      if (copy != "app/" + runner.filename().string()) {
        copies.push_back(copy);
      }
    }
    return copies;
  }
};

}  // namespace tavrick::test

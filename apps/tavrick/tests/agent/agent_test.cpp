// The real tavrick-agent program, with its data folder in a scratch folder.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "desktop/data_dir.h"
#include "desktop/instance_lock.h"
#include "support/background_process.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

struct AgentTest : testing::Test {
  test::ScratchFolder scratch;
  std::filesystem::path base = scratch.path() / "app data";
  // For the locks this test takes itself and for the agents it starts, which inherit it.
  test::ScopedEnv local_app_data{"LOCALAPPDATA", path_text(base)};
  std::filesystem::path log_file = base / "Orvalen Sorvic" / "loupedeck.log";

  test::ProgramResult run_agent(const std::vector<std::string>& args) {
    return test::run_program(TAVRICK_AGENT_EXE, args, {{"LOCALAPPDATA", path_text(base)}},
                             scratch.path());
  }
};

TEST_F(AgentTest, BadPortIsLoggedWithATimeStampAndEndsWith2BeforeTheLock) {
  const test::ProgramResult result = run_agent({"--port", "0"});
  EXPECT_EQ(result.exit_code, 2);
  const std::string log = test::read_file(log_file);
  EXPECT_TRUE(std::regex_match(log, std::regex("[0-9]+ ✗ --port phải là số từ 1 đến 65535\n")))
      << log;
  EXPECT_FALSE(std::filesystem::exists(base / "Orvalen Sorvic" / "loupedeck.lock"));
}

TEST_F(AgentTest, SecondBridgeStepsAsideWith0) {
  const auto held = acquire_instance_lock();
  ASSERT_TRUE(held.has_value()) << held.error();
  const test::ProgramResult result = run_agent({"run", "--port", "7980"});
  EXPECT_EQ(result.exit_code, 0);
  const std::string log = test::read_file(log_file);
  EXPECT_TRUE(std::regex_match(
      log, std::regex("[0-9]+ driver Loupedeck đã đang chạy \\(chỉ được một bản\\); bản này "
                      "thoát\n")))
      << log;
}

// A running agent holds the lock; once it has been killed, as by a crash, the lock is free.
TEST_F(AgentTest, RunningAgentHoldsTheLockUntilItIsKilled) {
  test::BackgroundProcess agent(
      TAVRICK_AGENT_EXE, {"--no-env", "--port", "9", "--source", "tavrick-test-no-such-port"},
      scratch.path());
  ASSERT_TRUE(agent.started());
  // The agent logs nothing before it holds the lock: its first line means it has it.
  ASSERT_TRUE(test::wait_until([&] { return !test::read_file(log_file).empty(); }));
  const auto refused = acquire_instance_lock();
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error(), "driver Loupedeck đã đang chạy (chỉ được một bản)");

  agent.kill();
  const auto free = acquire_instance_lock();
  EXPECT_TRUE(free.has_value()) << free.error();
}

}  // namespace
}  // namespace tavrick

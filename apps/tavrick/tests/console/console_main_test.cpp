// The console program's dispatch, seen from outside: the real `tavrick` run as a child with its
// streams in files and its data and configuration folders in a scratch folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bindings/binding_table.h"
#include "console/commands.h"
#include "desktop/instance_lock.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

constexpr const char* k_usage =
    "Dùng: tavrick <run|list|watch|ports|install|uninstall> [--port 7980] [--source loupedeck] "
    "[--no-env]\n";
constexpr const char* k_port_error = "--port phải là số từ 1 đến 65535\n";

struct ConsoleMainTest : testing::Test {
  test::ProgramResult tavrick(const std::vector<std::string>& args) {
    const std::string base = folder.path().string();
    return test::run_program(TAVRICK_EXE, args,
                             {{"LOCALAPPDATA", base},
                              {"HOME", base},
                              {"XDG_CONFIG_HOME", base + "/config"},
                              {"XDG_DATA_HOME", base}},
                             folder.path());
  }

  test::ScratchFolder folder;
};

struct RefusedCase {
  std::vector<std::string> args;
  const char* err;
};

const RefusedCase k_refused[] = {
    {{"RUN"}, k_usage},                            // command words are case-sensitive
    {{""}, k_usage},                               // an empty first argument is no command
    {{"help"}, k_usage},                           // unknown command word
    {{"lists"}, k_usage},                          // no prefix matching
    {{" list"}, k_usage},                          // no trimming
    {{"list", "--port", "0"}, k_port_error},       // bad port stops even list
    {{"watch", "--port", "65536"}, k_port_error},  // and watch
    {{"--port", "x"}, k_port_error},               // and the implied run
    {{"RUN", "--port", "-1"}, k_port_error},       // options are parsed before the word
    {{"uninstall", "--port", ""}, k_port_error},   // and uninstall
};

TEST_F(ConsoleMainTest, BadUsageExitsWithTwoAndWritesOnlyStandardError) {
  for (const auto& c : k_refused) {
    const auto result = tavrick(c.args);
    EXPECT_EQ(result.exit_code, 2) << testing::PrintToString(c.args);
    EXPECT_EQ(result.err, c.err) << testing::PrintToString(c.args);
    EXPECT_EQ(result.out, "") << testing::PrintToString(c.args);
  }
}

TEST_F(ConsoleMainTest, ListPrintsTheMapListing) {
  const std::string listing = map_listing(binding_table());
  const std::vector<std::string> arg_lists[] = {
      {"list"},                                            // plain
      {"list", "--no-env", "--source", "", "extra"},       // options and words are ignored
      {"list", "--port", "+00080", "--port", "nonsense"},  // a valid first --port
  };
  for (const auto& args : arg_lists) {
    const auto result = tavrick(args);
    EXPECT_EQ(result.exit_code, 0) << testing::PrintToString(args);
    EXPECT_EQ(result.out, listing) << testing::PrintToString(args);
    EXPECT_EQ(result.err, "") << testing::PrintToString(args);
  }
}

TEST_F(ConsoleMainTest, RunIsRefusedWhileAnotherBridgeHoldsTheLock) {
  const test::ScopedEnv local_app_data("LOCALAPPDATA", folder.path().string());
  auto lock = acquire_instance_lock();
  ASSERT_TRUE(lock.has_value()) << lock.error();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"run", "--no-env"}, {"--port", "9000"}}) {
    const auto result = tavrick(args);
    EXPECT_EQ(result.exit_code, 1) << testing::PrintToString(args);
    EXPECT_EQ(result.err, "✗ driver Loupedeck đã đang chạy (chỉ được một bản)\n");
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(ConsoleMainTest, UninstallWithoutInstallIsStillASuccess) {
  const auto result = tavrick({"uninstall"});
  EXPECT_EQ(result.exit_code, 0);
  // The system's registry tool may add its own complaint on either stream; the verdict is the
  // last line of standard output.
  EXPECT_TRUE(result.out.ends_with("chưa cài, không có gì để gỡ\n")) << result.out;
  EXPECT_EQ(result.err.find("✗"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace tavrick

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/app_window.h"
#include "desktop/log.h"
#include "desktop/os_error.h"
#include "desktop/port_env.h"
#include "support/log_capture.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

// Stand-ins for setx and powershell in a PATH of their own: each writes its arguments to a file
// and ends with the code it is given.
struct PortEnvTest : testing::Test {
  test::ScratchFolder folder;
  test::ScopedEnv path{"PATH", folder.path().string()};
  test::LogCapture log{test::Keep::all};

  void fake_program(const std::string& name, int exit_code) {
    const std::filesystem::path file = folder.path() / name;
    test::write_file(file, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                               (folder.path() / (name + ".args")).string() + "\"\nexit " +
                               std::to_string(exit_code) + "\n");
    chmod(file.c_str(), 0755);
  }
  [[nodiscard]] std::string args_of(const std::string& name) const {
    return test::read_file(folder.path() / (name + ".args"));
  }
};

TEST_F(PortEnvTest, StoredPortIsLoggedWithItsValue) {
  fake_program("setx", 0);
  set_port_env(65535);
  EXPECT_EQ(args_of("setx"), "SORVIC_CONTROL_PORT\n65535\n");
  EXPECT_EQ(log.lines(), std::vector<std::string>{
                             "→ đã đặt SORVIC_CONTROL_PORT=65535 cho người dùng (Sorvic mở SAU lúc "
                             "này sẽ tự bật cổng)"});
}

TEST_F(PortEnvTest, FailuresAreLoggedAndNotReported) {
  fake_program("setx", 3);
  set_port_env(7980);
  std::filesystem::remove(folder.path() / "setx");
  set_port_env(1);
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                "! không đặt được SORVIC_CONTROL_PORT (thoát với mã 3) — mở Sorvic bằng "
                "--control 7980",
                "! không đặt được SORVIC_CONTROL_PORT (" + os_error_text(2) +
                    ") — mở Sorvic bằng --control 1"}));
}

TEST_F(PortEnvTest, FocusRunsPowerShellWithTheScriptAndLogsOnlyFailure) {
  fake_program("powershell", 0);
  focus_app_window();
  EXPECT_EQ(args_of("powershell"),
            "-NoProfile\n-NonInteractive\n-Command\n$null = (New-Object -ComObject "
            "WScript.Shell).AppActivate('Orvalen Sorvic')\n");
  EXPECT_TRUE(log.lines().empty());

  fake_program("powershell", 1);
  focus_app_window();
  std::filesystem::remove(folder.path() / "powershell");
  focus_app_window();
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{"! không đưa được Sorvic lên trước: thoát với mã 1",
                                      "! không đưa được Sorvic lên trước: " + os_error_text(2)}));
}

}  // namespace
}  // namespace tavrick

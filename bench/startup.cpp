// The startup benchmark: how long the bridge takes to say it is ready.

#include "benchmarks.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "report.h"

namespace bench {

namespace {

// Starts `argv` with its standard output on a pipe; the instant the pipe first holds `needle`
// (or the end of the program when `needle` is empty), measured from just before the start.
std::optional<std::int64_t> time_to(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& env_extra,
                                    std::string_view needle) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const std::int64_t start = now_ns();
  const pid_t pid = spawn(argv, env_extra, &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return std::nullopt;
  }
  std::string output;
  std::optional<std::int64_t> seen;
  char buffer[65536];
  for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(got));
    if (!needle.empty() && output.find(needle) != std::string::npos) {
      seen = now_ns() - start;
      kill(pid, SIGKILL);
      break;
    }
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (needle.empty() && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    seen = now_ns() - start;
  }
  return seen;
}

}  // namespace

int run_startup(const Settings& settings) {
  ScratchDir dir("tavrick-startup");
  print_header("Start-up", settings);
  // The bridge needs no JACK server and no application before its start-up line.
  std::vector<std::int64_t> run_times;
  for (int i = 0; i < 30; ++i) {
    const auto data = dir.path() / std::to_string(i);
    const auto t = time_to({settings.tavrick, "run", "--no-env", "--port", "9"},
                           {"LOCALAPPDATA=" + data.string()}, "Đang chạy (");
    if (!t) {
      std::printf("  run: no start-up line\n");
      return 1;
    }
    run_times.push_back(*t);
  }
  std::vector<std::int64_t> list_times;
  for (int i = 0; i < 50; ++i) {
    const auto t = time_to({settings.tavrick, "list"}, {}, "");
    if (!t) {
      std::printf("  list failed\n");
      return 1;
    }
    list_times.push_back(*t);
  }
  std::printf("  run --no-env, start to the start-up line: %s\n",
              describe(figures(run_times)).c_str());
  std::printf("  list, whole run (output to a pipe):       %s\n",
              describe(figures(list_times)).c_str());
  return 0;
}

}  // namespace bench

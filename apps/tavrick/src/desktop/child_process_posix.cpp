// Child programs on Linux: posix_spawn for the children that are waited for, with the caller's
// streams; a double fork for the ones that are let go, with the null device as their streams.
// Both start the file that find_program gives.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "desktop/child_process.h"
#include "desktop/os_error.h"
#include "desktop/os_handle.h"
#include "desktop/program_search.h"

extern char** environ;

namespace tavrick {
namespace {

/// The argv array of `command`; points into `command`, which must outlive it.
std::vector<char*> argv_of(const ChildCommand& command) {
  std::vector<char*> argv;
  argv.reserve(command.args.size() + 2);
  argv.push_back(const_cast<char*>(command.program.c_str()));
  for (const std::string& arg : command.args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  return argv;
}

/// The exit code of a wait status; a signal counts as 128 + its number, as shells say.
std::int32_t exit_code_of(int status) {
  if (WIFEXITED(status)) {
    return WEXITSTATUS(status);
  }
  if (WIFSIGNALED(status)) {
    return 128 + WTERMSIG(status);
  }
  return 0;
}

/// Waits for `pid`, going on after interrupting signals. The wait status, or errno.
std::expected<int, int> wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return std::unexpected(errno);
    }
  }
  return status;
}

/// Writes all of `value` to `fd` from a forked child (async-signal-safe).
void report_errno(int fd, int value) {
  const auto* bytes = reinterpret_cast<const char*>(&value);
  std::size_t done = 0;
  while (done < sizeof value) {
    const ssize_t written = write(fd, bytes + done, sizeof value - done);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;
    }
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace

std::expected<void, std::string> run_checked(const ChildCommand& command) {
  const auto path = find_program(command.program);
  if (!path) {
    return std::unexpected(path.error());
  }
  std::vector<char*> argv = argv_of(command);
  pid_t pid = 0;
  // glibc reports a failed exec (a file that is not a program, say) as the result of
  // posix_spawn itself.
  const int started = posix_spawn(&pid, path->c_str(), nullptr, nullptr, argv.data(), environ);
  if (started != 0) {
    return std::unexpected(os_error_text(started));
  }
  const auto status = wait_for(pid);
  if (!status) {
    return std::unexpected(os_error_text(status.error()));
  }
  const std::int32_t code = exit_code_of(*status);
  if (code != 0) {
    return std::unexpected(exit_code_text(code));
  }
  return {};
}

std::expected<void, std::string> start_detached(const ChildCommand& command) {
  // Looked up before forking: a child of a threaded process may only make async-signal-safe
  // calls.
  const auto path = find_program(command.program);
  if (!path) {
    return std::unexpected(path.error());
  }
  std::vector<char*> argv = argv_of(command);
  // The grandchild writes its exec errno into this pipe; a successful exec closes it empty.
  int pipe_fds[2] = {-1, -1};
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return std::unexpected(last_os_error_text());
  }
  UniqueFd read_end(pipe_fds[0]);
  UniqueFd write_end(pipe_fds[1]);
  const pid_t middle = fork();
  if (middle < 0) {
    return std::unexpected(last_os_error_text());
  }
  if (middle == 0) {
    // The middle child opens a new session and ends at once, so the grandchild belongs to no
    // terminal and is adopted by init, which reaps it.
    read_end.reset();
    setsid();
    // The error pipe must not be one of the standard descriptors replaced below (it is when the
    // caller runs with some of them closed).
    int report = write_end.get();
    if (report <= 2) {
      report = fcntl(report, F_DUPFD_CLOEXEC, 3);
    }
    // The grandchild outlives the caller and must not hold its streams: a reader of them (a pipe
    // from `tavrick install`) would wait for their end until the grandchild ends.
    UniqueFd null_device(open("/dev/null", O_RDWR));
    if (!null_device.is_open() || dup2(null_device.get(), 0) < 0 ||
        dup2(null_device.get(), 1) < 0 || dup2(null_device.get(), 2) < 0) {
      report_errno(report, errno);
      _exit(1);
    }
    // Closed before the next fork, so that the grandchild does not inherit it; unless it is one
    // of the standard descriptors itself (the caller had that one closed), which stays open.
    if (null_device.get() <= 2) {
      static_cast<void>(null_device.release());
    }
    null_device.reset();
    const pid_t grandchild = fork();
    if (grandchild < 0) {
      report_errno(report, errno);
      _exit(1);
    }
    if (grandchild == 0) {
      execv(path->c_str(), argv.data());
      report_errno(report, errno);
      _exit(127);
    }
    _exit(0);
  }
  write_end.reset();
  const auto middle_status = wait_for(middle);
  int exec_error = 0;
  std::size_t received = 0;
  auto* bytes = reinterpret_cast<char*>(&exec_error);
  while (received < sizeof exec_error) {
    const ssize_t got = read(read_end.get(), bytes + received, sizeof exec_error - received);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    received += static_cast<std::size_t>(got);
  }
  if (received == sizeof exec_error) {
    return std::unexpected(os_error_text(exec_error));
  }
  if (!middle_status) {
    return std::unexpected(os_error_text(middle_status.error()));
  }
  return {};
}

}  // namespace tavrick

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "desktop/os_handle.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick::test {

ProgramResult run_program(const std::filesystem::path& program,
                          const std::vector<std::string>& args,
                          const std::vector<std::pair<std::string, std::string>>& env,
                          const std::filesystem::path& folder) {
  const auto out_file = folder / "child-out.txt";
  const auto err_file = folder / "child-err.txt";
  std::vector<char*> argv;
  std::string program_text = program.string();
  argv.push_back(program_text.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(127);
    }
    for (const auto& [name, value] : env) {
      setenv(name.c_str(), value.c_str(), 1);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  ProgramResult result;
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child) {
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  result.out = read_file(out_file);
  result.err = read_file(err_file);
  return result;
}

std::size_t thread_count() {
  std::error_code error;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator task("/proc/self/task", error), end;
       !error && task != end; task.increment(error)) {
    ++count;
  }
  return count;
}

std::string path_list(const std::vector<std::string>& entries) {
  std::string list;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    list += (i == 0 ? "" : ":") + entries[i];
  }
  return list;
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)) {
  if (const char* old = std::getenv(m_name.c_str()); old != nullptr) {
    m_had_value = true;
    m_old_value = old;
  }
  setenv(m_name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (m_had_value) {
    setenv(m_name.c_str(), m_old_value.c_str(), 1);
  } else {
    unsetenv(m_name.c_str());
  }
}

struct StreamToFile::Saved {
  int fd;
  UniqueFd copy;
};

StreamToFile::StreamToFile(Stream stream, const std::filesystem::path& file) {
  const int fd = stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
  std::fflush(nullptr);
  m_saved = std::make_unique<Saved>(Saved{fd, UniqueFd(dup(fd))});
  const UniqueFd target(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
  dup2(target.get(), fd);
}

StreamToFile::~StreamToFile() {
  std::fflush(nullptr);
  dup2(m_saved->copy.get(), m_saved->fd);
}

struct StreamToPipe::State {
  int fd;
  UniqueFd saved{};  ///< the stream's own descriptor while the pipe stands in for it
  UniqueFd read_end{};
};

StreamToPipe::StreamToPipe(Stream stream)
    : m_state(
          std::make_unique<State>(State{stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO})) {
  int ends[2] = {-1, -1};
  if (pipe(ends) != 0) {
    return;
  }
  m_state->read_end.reset(ends[0]);
  const UniqueFd write_end(ends[1]);
  fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  std::fflush(nullptr);
  m_state->saved.reset(fcntl(m_state->fd, F_DUPFD_CLOEXEC, 0));
  dup2(write_end.get(), m_state->fd);
}

StreamToPipe::~StreamToPipe() { restore(); }

void StreamToPipe::restore() {
  if (m_state->saved.is_open()) {
    std::fflush(nullptr);
    dup2(m_state->saved.get(), m_state->fd);
    m_state->saved.reset();
  }
}

std::optional<std::string> StreamToPipe::read_to_end(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string text;
  while (m_state->read_end.is_open()) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{.fd = m_state->read_end.get(), .events = POLLIN, .revents = 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      return std::nullopt;
    }
    char buffer[4096];
    const ssize_t got = ::read(m_state->read_end.get(), buffer, sizeof buffer);
    if (got <= 0) {
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return std::nullopt;
}

}  // namespace tavrick::test

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "support/background_process.h"

extern char** environ;

namespace tavrick::test {

struct BackgroundProcess::State {
  pid_t pid = -1;
};

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program,
                                     const std::vector<std::string>& args,
                                     const std::filesystem::path& folder)
    : m_state(std::make_unique<State>()) {
  std::string program_text = program.string();
  std::vector<std::string> copies(args);
  std::vector<char*> argv{program_text.data()};
  for (std::string& arg : copies) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (folder / "background-out.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (folder / "background-err.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, program_text.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    m_state->pid = pid;
  }
  posix_spawn_file_actions_destroy(&actions);
}

BackgroundProcess::~BackgroundProcess() { kill(); }

bool BackgroundProcess::started() const { return m_state->pid > 0; }

void BackgroundProcess::kill() {
  if (m_state->pid <= 0) {
    return;
  }
  ::kill(m_state->pid, SIGKILL);
  int status = 0;
  while (waitpid(m_state->pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_state->pid = -1;
}

}  // namespace tavrick::test

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <thread>

#include "desktop/console_output.h"

namespace tavrick {
namespace {

/// Points standard output at `fd` for the test's lifetime.
struct StdoutSwap {
  explicit StdoutSwap(int fd) : saved(dup(STDOUT_FILENO)) { dup2(fd, STDOUT_FILENO); }
  ~StdoutSwap() {
    dup2(saved, STDOUT_FILENO);
    close(saved);
  }
  int saved;
};

bool sigpipe_pending() {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  return sigismember(&pending, SIGPIPE) == 1;
}

bool sigpipe_blocked() {
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  return sigismember(&mask, SIGPIPE) == 1;
}

TEST(ConsoleOutputPosixTest, ClosedPipeNeitherKillsNorLeavesTraces) {
  // SIGPIPE keeps its default action (ending the process) for this test.
  struct sigaction old_action {};
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(SIGPIPE, &default_action, &old_action);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);  // nobody will ever read
  {
    const StdoutSwap swap(fds[1]);
    errno = ENOENT;
    write_text(Stream::out, "→ không ai đọc\n");
    EXPECT_EQ(errno, ENOENT);  // the caller's errno survives
    write_text(Stream::out, std::string(200'000, 'x'));
  }
  close(fds[1]);
  EXPECT_FALSE(sigpipe_pending());
  EXPECT_FALSE(sigpipe_blocked());
  sigaction(SIGPIPE, &old_action, nullptr);
}

TEST(ConsoleOutputPosixTest, PendingSigpipeOfOthersIsLeftAlone) {
  sigset_t pipe_set;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  sigset_t old_mask;
  pthread_sigmask(SIG_BLOCK, &pipe_set, &old_mask);
  pthread_kill(pthread_self(), SIGPIPE);
  ASSERT_TRUE(sigpipe_pending());

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  {
    const StdoutSwap swap(fds[1]);
    write_text(Stream::out, "x\n");
  }
  close(fds[1]);
  EXPECT_TRUE(sigpipe_pending());
  EXPECT_TRUE(sigpipe_blocked());  // the caller's own mask is restored as it was

  const timespec no_wait{};
  EXPECT_EQ(sigtimedwait(&pipe_set, nullptr, &no_wait), SIGPIPE);
  pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}

TEST(ConsoleOutputPosixTest, LargeTextThroughAPipeArrivesWhole) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string text;
  for (int i = 0; text.size() < 1'000'000; ++i) {
    text += std::to_string(i) + ' ';
  }
  std::string received;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
      received.append(buffer, static_cast<std::size_t>(n));
    }
  });
  {
    const StdoutSwap swap(fds[1]);
    write_text(Stream::out, text);
  }
  close(fds[1]);
  reader.join();
  close(fds[0]);
  EXPECT_EQ(received, text);
}

TEST(ConsoleOutputPosixTest, MissingStreamIsIgnored) {
  const int saved = dup(STDERR_FILENO);
  close(STDERR_FILENO);
  errno = 0;
  write_text(Stream::err, "nowhere\n");
  EXPECT_EQ(errno, 0);
  dup2(saved, STDERR_FILENO);
  close(saved);
}

}  // namespace
}  // namespace tavrick

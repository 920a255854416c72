// Standard streams on Linux: the UTF-8 bytes as they are, written straight to the descriptor.

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

#include "desktop/console_output.h"

namespace tavrick {
namespace {

/// Blocks SIGPIPE on the calling thread for its lifetime. A write to a pipe whose reader has gone
/// then fails with EPIPE instead of ending the process; a SIGPIPE raised meanwhile is taken back
/// before the mask is restored. Ignoring the signal process-wide would instead be inherited by
/// every child program the bridge starts.
class SigpipeBlock {
 public:
  SigpipeBlock() {
    sigemptyset(&m_pipe);
    sigaddset(&m_pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    sigset_t pending;
    sigemptyset(&pending);
    // A SIGPIPE that was already waiting belongs to someone else; it must survive.
    m_was_pending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
  }
  SigpipeBlock(const SigpipeBlock&) = delete;
  SigpipeBlock& operator=(const SigpipeBlock&) = delete;

  ~SigpipeBlock() {
    if (m_raised && !m_was_pending) {
      const timespec no_wait{};
      while (sigtimedwait(&m_pipe, nullptr, &no_wait) == -1 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
  }

  void note_broken_pipe() { m_raised = true; }

 private:
  sigset_t m_pipe;
  sigset_t m_old;
  bool m_was_pending = false;
  bool m_raised = false;
};

}  // namespace

void write_text(Stream stream, std::string_view utf8) {
  const int fd = stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
  // Callers may read errno after logging a failure; writing must not change it.
  const int saved_errno = errno;
  {
    SigpipeBlock block;
    while (!utf8.empty()) {
      const ssize_t written = ::write(fd, utf8.data(), utf8.size());
      if (written > 0) {
        utf8.remove_prefix(static_cast<std::size_t>(written));
      } else if (written < 0 && errno == EINTR) {
        continue;
      } else {
        if (written < 0 && errno == EPIPE) {
          block.note_broken_pipe();
        }
        break;  // closed, full disk, no such stream: the text is dropped
      }
    }
  }
  errno = saved_errno;
}

}  // namespace tavrick

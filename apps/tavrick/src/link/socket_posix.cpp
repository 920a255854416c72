#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "desktop/os_error.h"
#include "link/socket.h"

namespace tavrick {

namespace {

using Steady = std::chrono::steady_clock;

int fd_of(std::intptr_t handle) { return static_cast<int>(handle); }

sockaddr_in loopback_address(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::string errno_text() { return os_error_text(errno); }

/// Waits for `events` on `fd` until `deadline`; EINTR resumes with the time left. 0 when the
/// time ran out, >0 when ready, <0 on error (errno set).
int poll_until(int fd, short events, Steady::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
    pollfd entry{.fd = fd, .events = events, .revents = 0};
    const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    return ready;
  }
}

}  // namespace

std::expected<Socket, std::string> Socket::connect_loopback(std::uint16_t port,
                                                            std::chrono::milliseconds limit) {
  const auto deadline = Steady::now() + limit;
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket.is_open()) {
    return std::unexpected(errno_text());
  }
  const int fd = fd_of(socket.m_handle);
  const sockaddr_in address = loopback_address(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      return std::unexpected(errno_text());
    }
    const int ready = poll_until(fd, POLLOUT, deadline);
    if (ready < 0) {
      return std::unexpected(errno_text());
    }
    if (ready == 0) {
      return std::unexpected(os_error_text(ETIMEDOUT));
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
      return std::unexpected(errno_text());
    }
    if (error != 0) {
      return std::unexpected(os_error_text(error));
    }
  }
  // Reads and writes block from here on; only the connection attempt has a time limit.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return std::unexpected(errno_text());
  }
  return socket;
}

std::expected<void, std::string> Socket::set_no_delay() {
  const int on = 1;
  if (::setsockopt(fd_of(m_handle), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
    return std::unexpected(errno_text());
  }
  return {};
}

std::expected<void, std::string> Socket::write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::send(fd_of(m_handle), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::unexpected(errno_text());
    }
    if (written == 0) {
      return std::unexpected(os_error_text(EPIPE));
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

std::expected<std::size_t, std::string> Socket::read(std::span<char> buffer) {
  for (;;) {
    const ssize_t got = ::recv(fd_of(m_handle), buffer.data(), buffer.size(), 0);
    if (got >= 0) {
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) {
      return std::unexpected(errno_text());
    }
  }
}

std::expected<bool, std::string> Socket::wait_readable(std::chrono::milliseconds wait) {
  const int ready = poll_until(fd_of(m_handle), POLLIN, Steady::now() + wait);
  if (ready < 0) {
    return std::unexpected(errno_text());
  }
  return ready > 0;
}

void Socket::shutdown() {
  if (is_open()) {
    ::shutdown(fd_of(m_handle), SHUT_RDWR);
  }
}

void Socket::close() {
  if (is_open()) {
    ::close(fd_of(m_handle));
    m_handle = k_invalid;
  }
}

std::expected<Listener, std::string> Listener::open(std::uint16_t port) {
  Listener listener;
  listener.m_handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener.m_handle == Socket::k_invalid) {
    return std::unexpected(errno_text());
  }
  const int fd = fd_of(listener.m_handle);
  // A simulator restarted on its fixed port must not wait for the old connections' TIME_WAIT.
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = loopback_address(port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, SOMAXCONN) != 0) {
    return std::unexpected(errno_text());
  }
  socklen_t size = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return std::unexpected(errno_text());
  }
  listener.m_port = ntohs(address.sin_port);
  return listener;
}

std::expected<std::optional<Socket>, std::string> Listener::accept(std::chrono::milliseconds wait) {
  const int fd = fd_of(m_handle);
  const int ready = poll_until(fd, POLLIN, Steady::now() + wait);
  if (ready < 0) {
    return std::unexpected(errno_text());
  }
  if (ready == 0) {
    return std::optional<Socket>();
  }
  const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) {
    // The client may have gone between the poll and the accept.
    if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) {
      return std::optional<Socket>();
    }
    return std::unexpected(errno_text());
  }
  return std::optional<Socket>(Socket(client));
}

void Listener::close() {
  if (m_handle != Socket::k_invalid) {
    ::close(fd_of(m_handle));
    m_handle = Socket::k_invalid;
  }
}

}  // namespace tavrick

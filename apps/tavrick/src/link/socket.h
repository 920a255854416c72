#pragma once
// A thin layer over the system's TCP sockets on 127.0.0.1: a connected stream and a listener.
// Handles are opaque here; socket_posix.cpp and socket_win32.cpp hold the system calls.
// Errors are values: the system's text with " (os error N)".

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavrick {

/// A connected TCP stream; owns its handle and closes it when destroyed. Reading in one thread
/// while another thread writes or calls shutdown() on the same Socket is allowed; the Link
/// shares one Socket between its writer and its reader thread this way.
class Socket {
 public:
  Socket() = default;
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  /// Connects to 127.0.0.1:`port`, giving up after `limit`. The socket is not inherited by
  /// child processes. The system's error text (or a time-out text) on failure.
  [[nodiscard]] static std::expected<Socket, std::string> connect_loopback(
      std::uint16_t port, std::chrono::milliseconds limit);

  [[nodiscard]] bool is_open() const { return m_handle != k_invalid; }

  /// Switches off send coalescing (TCP no-delay). A failure is returned for the caller to ignore.
  [[nodiscard]] std::expected<void, std::string> set_no_delay();

  /// Writes all of `bytes`, continuing after partial and interrupted writes; blocks while the
  /// send buffer is full. Never raises SIGPIPE. An error, or a write that accepts nothing, fails.
  [[nodiscard]] std::expected<void, std::string> write_all(std::string_view bytes);

  /// Reads what is available, waiting for at least one byte; 0 at the end of the stream.
  [[nodiscard]] std::expected<std::size_t, std::string> read(std::span<char> buffer);

  /// Waits up to `wait` until a read would not block (data, end of stream or an error): true
  /// when ready, false when the time ran out, or the system's error text.
  [[nodiscard]] std::expected<bool, std::string> wait_readable(std::chrono::milliseconds wait);

  /// Ends both directions of the connection (the peer reads the end of the stream) without
  /// releasing the handle. Any thread. On Linux this also makes a read blocked in another thread
  /// return; Wine does not promise that, so a thread that must stop on request waits with
  /// wait_readable() instead of blocking in read().
  void shutdown();

  /// Closes the handle now (also done by the destructor). Not while another thread uses it.
  void close();

 private:
  friend class Listener;
  static constexpr std::intptr_t k_invalid = -1;
  explicit Socket(std::intptr_t handle) : m_handle(handle) {}
  std::intptr_t m_handle = k_invalid;
};

/// A listening TCP socket on 127.0.0.1 for the simulator and tests.
class Listener {
 public:
  Listener() = default;
  ~Listener();
  Listener(Listener&& other) noexcept;
  Listener& operator=(Listener&& other) noexcept;
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  /// Listens on 127.0.0.1:`port`; 0 lets the system choose a free port. The system's error
  /// text on failure.
  [[nodiscard]] static std::expected<Listener, std::string> open(std::uint16_t port);

  /// The port actually listened on.
  [[nodiscard]] std::uint16_t port() const { return m_port; }

  /// Waits up to `wait` for a client: the connected Socket, nothing when none came in time, or
  /// the system's error text.
  [[nodiscard]] std::expected<std::optional<Socket>, std::string> accept(
      std::chrono::milliseconds wait);

  void close();

 private:
  std::intptr_t m_handle = Socket::k_invalid;
  std::uint16_t m_port = 0;
};

}  // namespace tavrick

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <mutex>

#include "desktop/os_error.h"
#include "link/socket.h"

namespace tavrick {

namespace {

using Steady = std::chrono::steady_clock;

SOCKET socket_of(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

/// Winsock is started once per process and never cleaned up: sockets live until the process
/// ends. A failure leaves every socket call failing with its own error.
void ensure_winsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

sockaddr_in loopback_address(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::string wsa_error_text() { return os_error_text(WSAGetLastError()); }

/// A socket that child processes do not inherit.
SOCKET new_stream_socket() {
  return WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                    WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

bool set_blocking(SOCKET socket, bool blocking) {
  u_long non_blocking = blocking ? 0 : 1;
  return ioctlsocket(socket, FIONBIO, &non_blocking) == 0;
}

/// Asks the system not to retransmit the connection request. Windows answers a refused loopback
/// connection only after retransmitting the SYN for about two seconds, past the time limit of
/// every attempt; without retransmission the refusal arrives at once. A system that does not know
/// the request refuses it, and the attempt then runs as before.
void ask_for_no_syn_retransmission(SOCKET socket) {
  // mstcpip.h, which mingw-w64 lacks: SIO_TCP_INITIAL_RTO is _WSAIOW(IOC_VENDOR, 17) and takes a
  // TCP_INITIAL_RTO_PARAMETERS; TCP_INITIAL_RTO_UNSPECIFIED_RTT is (USHORT)-1 and
  // TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS is (UCHAR)-2.
  struct InitialRtoParameters {
    USHORT rtt;
    UCHAR max_syn_retransmissions;
  };
  constexpr DWORD k_sio_tcp_initial_rto = 0x98000011;
  InitialRtoParameters parameters{.rtt = 0xFFFF, .max_syn_retransmissions = 0xFE};
  DWORD returned = 0;
  WSAIoctl(socket, k_sio_tcp_initial_rto, &parameters, sizeof parameters, nullptr, 0, &returned,
           nullptr, nullptr);
}

/// Milliseconds left until `deadline` as the timeval of select().
timeval time_left(Steady::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Steady::now());
  const long long micros = left.count() > 0 ? left.count() : 0;
  return timeval{.tv_sec = static_cast<long>(micros / 1'000'000),
                 .tv_usec = static_cast<long>(micros % 1'000'000)};
}

/// Waits up to `wait` until `handle` is readable (or, for a listener, has a client): 1 ready,
/// 0 time ran out, SOCKET_ERROR on error.
int select_readable(SOCKET handle, std::chrono::milliseconds wait) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(handle, &readable);
  timeval left = time_left(Steady::now() + wait);
  return ::select(0, &readable, nullptr, nullptr, &left);
}

}  // namespace

std::expected<Socket, std::string> Socket::connect_loopback(std::uint16_t port,
                                                            std::chrono::milliseconds limit) {
  ensure_winsock();
  const auto deadline = Steady::now() + limit;
  Socket socket(static_cast<std::intptr_t>(new_stream_socket()));
  if (!socket.is_open()) {
    return std::unexpected(wsa_error_text());
  }
  const SOCKET handle = socket_of(socket.m_handle);
  if (!set_blocking(handle, false)) {
    return std::unexpected(wsa_error_text());
  }
  ask_for_no_syn_retransmission(handle);
  const sockaddr_in address = loopback_address(port);
  if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      return std::unexpected(wsa_error_text());
    }
    // Windows reports a failed non-blocking connect in the exception set, not the write set.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(handle, &writable);
    FD_SET(handle, &failed);
    timeval wait = time_left(deadline);
    const int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == SOCKET_ERROR) {
      return std::unexpected(wsa_error_text());
    }
    if (ready == 0) {
      return std::unexpected(os_error_text(WSAETIMEDOUT));
    }
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
      return std::unexpected(wsa_error_text());
    }
    if (error != 0 || FD_ISSET(handle, &failed)) {
      return std::unexpected(os_error_text(error != 0 ? error : WSAECONNREFUSED));
    }
  }
  // Reads and writes block from here on; only the connection attempt has a time limit.
  if (!set_blocking(handle, true)) {
    return std::unexpected(wsa_error_text());
  }
  return socket;
}

std::expected<void, std::string> Socket::set_no_delay() {
  const BOOL on = TRUE;
  if (::setsockopt(socket_of(m_handle), IPPROTO_TCP, TCP_NODELAY,
                   reinterpret_cast<const char*>(&on), sizeof on) != 0) {
    return std::unexpected(wsa_error_text());
  }
  return {};
}

std::expected<void, std::string> Socket::write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = bytes.size() > 1 << 30 ? 1 << 30 : static_cast<int>(bytes.size());
    const int written = ::send(socket_of(m_handle), bytes.data(), chunk, 0);
    if (written == SOCKET_ERROR) {
      if (WSAGetLastError() == WSAEINTR) {
        continue;
      }
      return std::unexpected(wsa_error_text());
    }
    if (written == 0) {
      return std::unexpected(os_error_text(WSAECONNRESET));
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

std::expected<std::size_t, std::string> Socket::read(std::span<char> buffer) {
  const int size = buffer.size() > 1 << 30 ? 1 << 30 : static_cast<int>(buffer.size());
  for (;;) {
    const int got = ::recv(socket_of(m_handle), buffer.data(), size, 0);
    if (got != SOCKET_ERROR) {
      return static_cast<std::size_t>(got);
    }
    if (WSAGetLastError() != WSAEINTR) {
      return std::unexpected(wsa_error_text());
    }
  }
}

std::expected<bool, std::string> Socket::wait_readable(std::chrono::milliseconds wait) {
  const int ready = select_readable(socket_of(m_handle), wait);
  if (ready == SOCKET_ERROR) {
    return std::unexpected(wsa_error_text());
  }
  return ready > 0;
}

void Socket::shutdown() {
  if (is_open()) {
    ::shutdown(socket_of(m_handle), SD_BOTH);
  }
}

void Socket::close() {
  if (is_open()) {
    ::closesocket(socket_of(m_handle));
    m_handle = k_invalid;
  }
}

std::expected<Listener, std::string> Listener::open(std::uint16_t port) {
  ensure_winsock();
  Listener listener;
  const SOCKET handle = new_stream_socket();
  if (handle == INVALID_SOCKET) {
    return std::unexpected(wsa_error_text());
  }
  listener.m_handle = static_cast<std::intptr_t>(handle);
  // No SO_REUSEADDR: on Windows it would let another program take over a port in use.
  const BOOL on = TRUE;
  ::setsockopt(handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
               sizeof on);
  sockaddr_in address = loopback_address(port);
  if (::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(handle, SOMAXCONN) != 0) {
    return std::unexpected(wsa_error_text());
  }
  int size = sizeof address;
  if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return std::unexpected(wsa_error_text());
  }
  listener.m_port = ntohs(address.sin_port);
  return listener;
}

std::expected<std::optional<Socket>, std::string> Listener::accept(std::chrono::milliseconds wait) {
  const SOCKET handle = socket_of(m_handle);
  const int ready = select_readable(handle, wait);
  if (ready == SOCKET_ERROR) {
    return std::unexpected(wsa_error_text());
  }
  if (ready == 0) {
    return std::optional<Socket>();
  }
  const SOCKET client = ::accept(handle, nullptr, nullptr);
  if (client == INVALID_SOCKET) {
    // The client may have gone between the select and the accept.
    if (WSAGetLastError() == WSAECONNRESET || WSAGetLastError() == WSAEWOULDBLOCK) {
      return std::optional<Socket>();
    }
    return std::unexpected(wsa_error_text());
  }
  // An accepted socket takes over the listener's flags; make sure it blocks and is not
  // inherited.
  set_blocking(client, true);
  SetHandleInformation(reinterpret_cast<HANDLE>(client), HANDLE_FLAG_INHERIT, 0);
  return std::optional<Socket>(Socket(static_cast<std::intptr_t>(client)));
}

void Listener::close() {
  if (m_handle != Socket::k_invalid) {
    ::closesocket(socket_of(m_handle));
    m_handle = Socket::k_invalid;
  }
}

}  // namespace tavrick

// Winsock side of the stand-in's link to its controller.

#include "controller_link.h"

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "protocol.h"

namespace winmm_standin {

namespace {

constexpr std::uintptr_t k_no_socket = static_cast<std::uintptr_t>(INVALID_SOCKET);

std::optional<unsigned short> controller_port() {
  const char* text = std::getenv(k_port_variable);
  if (text == nullptr) {
    return std::nullopt;
  }
  const long value = std::strtol(text, nullptr, 10);
  if (value <= 0 || value > 65535) {
    return std::nullopt;
  }
  return static_cast<unsigned short>(value);
}

}  // namespace

std::optional<LineSocket> LineSocket::connect_to_controller() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  const auto port = controller_port();
  if (!started || !port) {
    return std::nullopt;
  }
  const SOCKET handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (handle == INVALID_SOCKET) {
    return std::nullopt;
  }
  LineSocket result(static_cast<std::uintptr_t>(handle));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(*port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    return std::nullopt;
  }
  // Requests are small and each waits for its reply: send them at once.
  const BOOL on = TRUE;
  setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
  return result;
}

LineSocket::LineSocket(LineSocket&& other) noexcept
    : m_socket(std::exchange(other.m_socket, k_no_socket)), m_pending(std::move(other.m_pending)) {}

LineSocket& LineSocket::operator=(LineSocket&& other) noexcept {
  if (this != &other) {
    close();
    m_socket = std::exchange(other.m_socket, k_no_socket);
    m_pending = std::move(other.m_pending);
  }
  return *this;
}

LineSocket::~LineSocket() { close(); }

void LineSocket::close() {
  if (m_socket != k_no_socket) {
    closesocket(static_cast<SOCKET>(m_socket));
    m_socket = k_no_socket;
  }
}

bool LineSocket::send_line(std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  std::size_t sent = 0;
  while (sent < text.size()) {
    const int n = send(static_cast<SOCKET>(m_socket), text.data() + sent,
                       static_cast<int>(text.size() - sent), 0);
    if (n <= 0) {
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<std::string> LineSocket::read_line() {
  while (true) {
    if (const auto end = m_pending.find('\n'); end != std::string::npos) {
      std::string line = m_pending.substr(0, end);
      m_pending.erase(0, end + 1);
      return line;
    }
    char chunk[4096];
    const int n = recv(static_cast<SOCKET>(m_socket), chunk, sizeof(chunk), 0);
    if (n <= 0) {
      return std::nullopt;
    }
    m_pending.append(chunk, static_cast<std::size_t>(n));
  }
}

void LineSocket::shut_down() { shutdown(static_cast<SOCKET>(m_socket), SD_BOTH); }

ControllerLink& ControllerLink::get() {
  // Never destroyed: service threads may still record while the process ends.
  static auto* link = new ControllerLink();
  return *link;
}

bool ControllerLink::connected() {
  if (!m_tried) {
    m_tried = true;
    m_socket = LineSocket::connect_to_controller();
    if (m_socket) {
      m_socket->send_line("hello " + std::to_string(GetCurrentProcessId()));
    } else {
      std::fprintf(stderr, "winmm stand-in: no controller at 127.0.0.1 (port in %s)\n",
                   k_port_variable);
    }
  }
  return m_socket.has_value();
}

Reply ControllerLink::request(std::string_view line) {
  std::lock_guard lock(m_lock);
  if (!connected() || !m_socket->send_line(line)) {
    return Reply{MMSYSERR_NODRIVER, {}};
  }
  const auto answer = m_socket->read_line();
  if (!answer) {
    return Reply{MMSYSERR_NODRIVER, {}};
  }
  const std::string_view text = *answer;
  if (text.starts_with("ok")) {
    return Reply{0, std::string(text.substr(text.size() > 2 ? 3 : 2))};
  }
  const auto code = result_code(text.substr(text.find(' ') + 1));
  return Reply{code.value_or(MMSYSERR_ERROR), {}};
}

void ControllerLink::record(unsigned handle, std::string_view text) {
  std::lock_guard lock(m_lock);
  if (connected()) {
    m_socket->send_line("log " + std::to_string(handle) + " " + std::string(text));
  }
}

}  // namespace winmm_standin

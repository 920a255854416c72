#include "link/socket.h"

#include <utility>

namespace tavrick {

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept : m_handle(std::exchange(other.m_handle, k_invalid)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    m_handle = std::exchange(other.m_handle, k_invalid);
  }
  return *this;
}

Listener::~Listener() { close(); }

Listener::Listener(Listener&& other) noexcept
    : m_handle(std::exchange(other.m_handle, Socket::k_invalid)),
      m_port(std::exchange(other.m_port, 0)) {}

Listener& Listener::operator=(Listener&& other) noexcept {
  if (this != &other) {
    close();
    m_handle = std::exchange(other.m_handle, Socket::k_invalid);
    m_port = std::exchange(other.m_port, 0);
  }
  return *this;
}

}  // namespace tavrick

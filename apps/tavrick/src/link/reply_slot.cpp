#include "link/reply_slot.h"

#include <utility>

namespace tavrick {

bool ReplySlot::put(Json reply) {
  {
    std::lock_guard lock(m_lock);
    if (m_closed || m_reply) {
      return false;
    }
    m_reply = std::move(reply);
  }
  m_filled.notify_one();
  return true;
}

std::optional<Json> ReplySlot::wait_for(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_lock);
  m_filled.wait_for(lock, timeout, [this] { return m_reply.has_value(); });
  m_closed = true;
  return std::exchange(m_reply, std::nullopt);
}

}  // namespace tavrick

#pragma once
// The single-use reply channel between the Link's reader thread and one caller of Link::call.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "link/json.h"

namespace tavrick {

/// Holds at most one reply. The reader thread (sender) calls put(); the waiting caller
/// (receiver) calls wait_for() once. Exactly these two threads use it.
class ReplySlot {
 public:
  /// Hands over `reply`. False (and `reply` dropped) when the receiver has stopped waiting or a
  /// reply was already put. Reader thread.
  bool put(Json reply);

  /// Waits up to `timeout` for the reply. When none came, the receiver is gone from then on and
  /// a later put() fails. Caller's thread; once.
  [[nodiscard]] std::optional<Json> wait_for(std::chrono::milliseconds timeout);

 private:
  std::mutex m_lock;
  std::condition_variable m_filled;
  std::optional<Json> m_reply;  // guarded by m_lock
  bool m_closed = false;        // guarded by m_lock: the receiver gave up, or a reply was taken
};

}  // namespace tavrick

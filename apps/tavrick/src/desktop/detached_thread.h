#pragma once
// Threads that are never joined.

#include <future>
#include <thread>
#include <utility>

namespace tavrick {

/// Runs `body()` on a new thread that is never joined. Throws std::system_error, as std::thread
/// does, when no thread can be made. The new thread starts `body` only once it is detached, so it
/// cannot end before that. With mingw-w64's threads (winpthreads) on a loaded machine, a thread
/// started right after another had run to its end before its detach was seen to end without ever
/// running its function: the bridge's event loop, started after the poller.
template <class Body>
void start_detached(Body body) {
  std::promise<void> detached;
  std::thread([body = std::move(body), go = detached.get_future()]() mutable {
    go.wait();
    body();
  }).detach();
  detached.set_value();
}

}  // namespace tavrick

#pragma once
// An unbounded first-in-first-out channel with many senders and one receiver. A send never
// blocks and fails only when the receiver is gone; the receiver sees the channel disconnected
// when every sender is gone and the queue is empty.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>

namespace tavrick {

namespace channel_detail {

template <class T>
struct Shared {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<T> queue;     // guarded by mutex
  int senders = 0;         // guarded by mutex
  bool receiver = true;    // guarded by mutex
};

}  // namespace channel_detail

/// Receiving outcomes other than a message.
struct TimedOut {};
struct Disconnected {};

/// A sending end. Copying clones it; the channel counts the live clones. Any thread.
template <class T>
class Sender {
 public:
  Sender() = default;
  explicit Sender(std::shared_ptr<channel_detail::Shared<T>> shared) : m_shared(std::move(shared)) {
    count_in();
  }
  Sender(const Sender& other) : m_shared(other.m_shared) { count_in(); }
  Sender(Sender&& other) noexcept : m_shared(std::exchange(other.m_shared, nullptr)) {}
  Sender& operator=(Sender other) noexcept {
    std::swap(m_shared, other.m_shared);
    return *this;
  }
  ~Sender() { reset(); }

  /// Queues `value`; false when the receiver is gone (the value is dropped) or this end is empty.
  bool send(T value) const {
    if (!m_shared) {
      return false;
    }
    {
      std::lock_guard lock(m_shared->mutex);
      if (!m_shared->receiver) {
        return false;
      }
      m_shared->queue.push_back(std::move(value));
    }
    m_shared->ready.notify_one();
    return true;
  }

  /// Drops this end now; the receiver is woken when it was the last one.
  void reset() {
    if (!m_shared) {
      return;
    }
    bool last = false;
    {
      std::lock_guard lock(m_shared->mutex);
      last = --m_shared->senders == 0;
    }
    if (last) {
      m_shared->ready.notify_all();
    }
    m_shared.reset();
  }

  explicit operator bool() const { return m_shared != nullptr; }

 private:
  void count_in() {
    if (m_shared) {
      std::lock_guard lock(m_shared->mutex);
      ++m_shared->senders;
    }
  }

  std::shared_ptr<channel_detail::Shared<T>> m_shared;
};

/// The receiving end; belongs to one thread.
template <class T>
class Receiver {
 public:
  explicit Receiver(std::shared_ptr<channel_detail::Shared<T>> shared) : m_shared(std::move(shared)) {}
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;
  Receiver(Receiver&&) noexcept = default;
  Receiver& operator=(Receiver&&) noexcept = default;
  ~Receiver() {
    if (m_shared) {
      std::lock_guard lock(m_shared->mutex);
      m_shared->receiver = false;
      m_shared->queue.clear();
    }
  }

  using Result = std::variant<T, TimedOut, Disconnected>;

  /// Waits for the next message until `deadline`; Disconnected once every sender is gone and the
  /// queue is empty.
  template <class Clock, class Duration>
  Result receive_until(std::chrono::time_point<Clock, Duration> deadline) {
    std::unique_lock lock(m_shared->mutex);
    const auto has_news = [&] { return !m_shared->queue.empty() || m_shared->senders == 0; };
    if (!m_shared->ready.wait_until(lock, deadline, has_news)) {
      return TimedOut{};
    }
    return take(lock);
  }

  /// Waits without a time limit.
  Result receive() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->ready.wait(lock, [&] { return !m_shared->queue.empty() || m_shared->senders == 0; });
    return take(lock);
  }

 private:
  Result take(std::unique_lock<std::mutex>&) {
    if (m_shared->queue.empty()) {
      return Disconnected{};
    }
    T value = std::move(m_shared->queue.front());
    m_shared->queue.pop_front();
    return value;
  }

  std::shared_ptr<channel_detail::Shared<T>> m_shared;
};

/// A new channel: its first sender and its receiver.
template <class T>
std::pair<Sender<T>, Receiver<T>> make_channel() {
  auto shared = std::make_shared<channel_detail::Shared<T>>();
  Sender<T> sender(shared);
  return {std::move(sender), Receiver<T>(std::move(shared))};
}

}  // namespace tavrick

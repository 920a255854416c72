#pragma once
// A thread of its own for calls into a library that may block without a bound (a MIDI service
// that does not answer): callers hand it a job and wait a bounded time for its result, and a job
// that hangs holds up nothing but this thread.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace tavrick {

/// When a job handed to the service thread runs.
enum class Start {
  when_idle,  ///< only if no other job is running or waiting; otherwise it is dropped unrun
  in_turn,    ///< after the jobs before it, however long they take
};

/// Runs jobs one at a time, in the order they were handed over, on one thread that is never
/// joined. What a job holds is released on that thread, before its value is handed over; a value
/// that the caller does not take is destroyed there too.
class ServiceThread {
 public:
  /// Starts the thread; std::system_error when the system has no thread to give.
  ServiceThread();
  /// Lets the thread end once the jobs already handed over have run. Does not wait for them.
  ~ServiceThread();
  ServiceThread(const ServiceThread&) = delete;
  ServiceThread& operator=(const ServiceThread&) = delete;

  /// Runs `job` on the service thread and waits up to `bound` for its value. Nothing when the
  /// job was dropped unrun (Start::when_idle while the thread is busy) or has not returned within
  /// `bound`; such a job goes on, and its value is destroyed on the service thread when it
  /// returns. Any thread.
  template <class T>
  [[nodiscard]] std::optional<T> call(std::move_only_function<T()> job, Start start,
                                      std::chrono::milliseconds bound);

  /// The jobs and the state shared with the thread (service_thread.cpp).
  struct Queue;
  /// What a job leaves to do once the thread counts as idle again: handing its value over.
  using Delivery = std::move_only_function<void()>;
  /// A job as queued: it runs, releases what it holds and returns its delivery.
  using Job = std::move_only_function<Delivery()>;

 private:
  /// Queues `job` (see Start); false when it was dropped.
  bool enqueue(Job job, Start start);
  std::shared_ptr<Queue> m_queue;
};

namespace service_detail {

/// The value of one call, passed from the service thread to the caller that waits for it.
template <class T>
struct Handoff {
  std::mutex mutex;
  std::condition_variable filled;
  std::optional<T> value;  // guarded by mutex
  bool abandoned = false;  // guarded by mutex: the caller no longer waits
};

}  // namespace service_detail

template <class T>
std::optional<T> ServiceThread::call(std::move_only_function<T()> job, Start start,
                                     std::chrono::milliseconds bound) {
  auto handoff = std::make_shared<service_detail::Handoff<T>>();
  const bool queued = enqueue(
      [handoff, job = std::move(job)]() mutable -> Delivery {
        std::optional<T> value(job());
        job = nullptr;
        // Handed over only once the thread counts as idle, so that a caller that has the value
        // may start its next job at once.
        return [handoff, value = std::move(value)]() mutable {
          std::unique_lock lock(handoff->mutex);
          if (handoff->abandoned) {
            lock.unlock();
            value.reset();  // nobody waits for it any more: it dies here
            return;
          }
          handoff->value.emplace(std::move(*value));
          lock.unlock();
          handoff->filled.notify_one();
        };
      },
      start);
  if (!queued) {
    return std::nullopt;
  }
  std::unique_lock lock(handoff->mutex);
  if (!handoff->filled.wait_for(lock, bound, [&] { return handoff->value.has_value(); })) {
    handoff->abandoned = true;
    return std::nullopt;
  }
  return std::move(handoff->value);
}

}  // namespace tavrick

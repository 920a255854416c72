#include "midi/service_thread.h"

#include <deque>

#include "desktop/detached_thread.h"
#include "desktop/thread_name.h"

namespace tavrick {

struct ServiceThread::Queue {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<Job> jobs;  // guarded by mutex
  bool running = false;  // guarded by mutex: a job has been taken
  bool stopped = false;  // guarded by mutex: the owner is gone
};

namespace {

/// Body of the service thread: runs the queued jobs in order until the owner is gone and the
/// queue is empty.
void serve(std::shared_ptr<ServiceThread::Queue> queue);

}  // namespace

ServiceThread::ServiceThread() : m_queue(std::make_shared<Queue>()) {
  start_detached([queue = m_queue] { serve(queue); });
}

ServiceThread::~ServiceThread() {
  {
    std::lock_guard lock(m_queue->mutex);
    m_queue->stopped = true;
  }
  m_queue->ready.notify_one();
}

bool ServiceThread::enqueue(Job job, Start start) {
  {
    std::lock_guard lock(m_queue->mutex);
    if (start == Start::when_idle && (m_queue->running || !m_queue->jobs.empty())) {
      return false;
    }
    m_queue->jobs.push_back(std::move(job));
  }
  m_queue->ready.notify_one();
  return true;
}

namespace {

void serve(std::shared_ptr<ServiceThread::Queue> queue) {
  name_this_thread("midi service");
  std::unique_lock lock(queue->mutex);
  for (;;) {
    queue->ready.wait(lock, [&] { return !queue->jobs.empty() || queue->stopped; });
    if (queue->jobs.empty()) {
      return;
    }
    ServiceThread::Job job = std::move(queue->jobs.front());
    queue->jobs.pop_front();
    queue->running = true;
    lock.unlock();
    ServiceThread::Delivery delivery = job();
    // What the job holds is released on this thread too, before it counts as finished.
    job = nullptr;
    lock.lock();
    queue->running = false;
    lock.unlock();
    delivery();
    delivery = nullptr;
    lock.lock();
  }
}

}  // namespace

}  // namespace tavrick

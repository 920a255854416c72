#pragma once
// Only one bridge per user: an exclusively opened file in the data folder.

#include <expected>
#include <memory>
#include <string>

namespace tavrick {

/// The held lock; closing it (destruction) releases it, and so does the end of the process.
class InstanceLock {
 public:
  struct Handle;
  explicit InstanceLock(std::unique_ptr<Handle> handle);
  InstanceLock(InstanceLock&&) noexcept;
  InstanceLock& operator=(InstanceLock&&) noexcept;
  ~InstanceLock();

 private:
  std::unique_ptr<Handle> m_handle;
};

/// Creates the data folder and takes the lock file "loupedeck.lock" in it. Errors:
/// "{folder}: {reason}" when the folder cannot be made, otherwise
/// "driver Loupedeck đã đang chạy (chỉ được một bản)". Main thread, before other threads start.
[[nodiscard]] std::expected<InstanceLock, std::string> acquire_instance_lock();

}  // namespace tavrick

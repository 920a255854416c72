#pragma once
// Only one bridge per user: an exclusively opened file in the data folder.

#include <expected>
#include <string>
#include <utility>

#include "desktop/os_handle.h"

namespace tavrick {

/// The held lock; closing it (destruction) releases it, and so does the end of the process.
class InstanceLock {
 public:
  /// Holds the open lock file `file`.
  explicit InstanceLock(UniqueFile file) : m_file(std::move(file)) {}

 private:
  UniqueFile m_file;
};

/// Creates the data folder and takes the lock file "loupedeck.lock" in it. Errors:
/// "{folder}: {reason}" when the folder cannot be made, otherwise
/// "driver Loupedeck đã đang chạy (chỉ được một bản)". Main thread, before other threads start.
[[nodiscard]] std::expected<InstanceLock, std::string> acquire_instance_lock();

}  // namespace tavrick

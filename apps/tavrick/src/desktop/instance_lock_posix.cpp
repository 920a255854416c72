// The single-instance lock on Linux: the lock file held with flock, which the system drops when
// the process ends, a crash included.

#include <fcntl.h>
#include <sys/file.h>

#include <filesystem>
#include <string>
#include <utility>

#include "desktop/data_dir.h"
#include "desktop/file_system.h"
#include "desktop/instance_lock.h"

namespace tavrick {

std::expected<InstanceLock, std::string> acquire_instance_lock() {
  const std::filesystem::path folder = data_dir();
  if (auto made = create_folder_chain(folder); !made) {
    return std::unexpected(path_text(folder) + ": " + made.error());
  }
  const std::string refused = "driver Loupedeck đã đang chạy (chỉ được một bản)";
  // Close-on-exec: a child program of the bridge must not keep the lock alive after it.
  UniqueFd file(open((folder / "loupedeck.lock").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!file.is_open()) {
    return std::unexpected(refused);
  }
  // flock belongs to this open file description: a second open, in this process or another,
  // cannot take it while this one is held.
  if (flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
    return std::unexpected(refused);
  }
  return InstanceLock(std::move(file));
}

}  // namespace tavrick

#pragma once
// The log file's platform half: a shared, appending file handle.

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "desktop/os_handle.h"

namespace tavrick {

/// How an existing log file is treated when it is opened.
enum class LogOpen { append, truncate };

/// An open log file that other processes may read, write and delete meanwhile. Every write goes
/// to the current end of the file. Owns its handle; the owner serialises writes.
class LogFile {
 public:
  /// Opens `path` for writing, creating the file; `truncate` empties an existing one. The
  /// system's error text on failure.
  [[nodiscard]] static std::expected<LogFile, std::string> open(const std::filesystem::path& path,
                                                                LogOpen mode);

  /// Writes all of `bytes` unbuffered, continuing after partial writes; errors are ignored.
  void write(std::string_view bytes);

 private:
  explicit LogFile(UniqueFile file) : m_file(std::move(file)) {}
  UniqueFile m_file;
};

}  // namespace tavrick

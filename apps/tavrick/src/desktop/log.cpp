// The process's one log sink. It is created on first use and never destroyed, so threads that
// still log while the process ends find it intact.

#include "desktop/log.h"

#include <charconv>
#include <cstdint>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "desktop/console_output.h"
#include "desktop/file_system.h"
#include "desktop/log_file.h"

namespace tavrick {
namespace {

/// A file larger than this is emptied when it becomes the sink; one of exactly this size is kept.
constexpr std::uintmax_t k_log_size_limit = 1'048'576;

struct LogSink {
  std::mutex lock;
  std::optional<LogFile> file;                    ///< guarded by lock; empty: standard output
  std::function<void(std::string_view)> capture;  ///< guarded by lock; tests only
};

LogSink& sink() {
  static LogSink* const instance = new LogSink;
  return *instance;
}

}  // namespace

std::uint64_t unix_seconds(std::chrono::system_clock::time_point now) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(now.time_since_epoch()).count();
  return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

void log_line(std::string_view text) {
  LogSink& s = sink();
  const std::lock_guard guard(s.lock);
  if (s.capture) {
    s.capture(text);
    return;
  }
  std::string line;
  if (s.file) {
    char stamp[24];
    const auto seconds = unix_seconds(std::chrono::system_clock::now());
    const auto end = std::to_chars(stamp, stamp + sizeof stamp, seconds).ptr;
    line.reserve(static_cast<std::size_t>(end - stamp) + text.size() + 2);
    line.append(stamp, end);
    line += ' ';
  }
  line += text;
  line += '\n';
  // One write per line: another process appending to the same file cannot split it either.
  if (s.file) {
    s.file->write(line);
  } else {
    write_text(Stream::out, line);
  }
}

std::expected<void, std::string> set_log_file(const std::filesystem::path& path) {
  if (path.has_parent_path()) {
    if (auto made = create_folder_chain(path.parent_path()); !made) {
      return std::unexpected(std::move(made.error()));
    }
  }
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  const LogOpen mode = !error && size > k_log_size_limit ? LogOpen::truncate : LogOpen::append;
  auto opened = LogFile::open(path, mode);
  if (!opened) {
    return std::unexpected(std::move(opened.error()));
  }
  LogSink& s = sink();
  const std::lock_guard guard(s.lock);
  s.file = std::move(*opened);
  return {};
}

void clear_log_file() {
  LogSink& s = sink();
  const std::lock_guard guard(s.lock);
  s.file.reset();
}

void set_log_capture(std::function<void(std::string_view)> capture) {
  LogSink& s = sink();
  const std::lock_guard guard(s.lock);
  s.capture = std::move(capture);
}

}  // namespace tavrick

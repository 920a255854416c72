#pragma once
// Test helpers around the process's own streams and environment, and child programs whose
// output lands in files (pipes would wait forever on helper processes under Wine).

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/console_output.h"

namespace tavrick::test {

/// Exit code and captured output of a finished child program.
struct ProgramResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

/// Runs `program` with `args`, its standard output and error going to files in `folder`, with
/// `env` added to (or replacing in) the environment it inherits; waits for its end.
[[nodiscard]] ProgramResult run_program(const std::filesystem::path& program,
                                        const std::vector<std::string>& args,
                                        const std::vector<std::pair<std::string, std::string>>& env,
                                        const std::filesystem::path& folder);

/// How many threads this process has at this moment.
[[nodiscard]] std::size_t thread_count();

/// `entries` joined into a value of PATH with the platform's separator.
[[nodiscard]] std::string path_list(const std::vector<std::string>& entries);

/// Sets an environment variable of this process while it lives, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value);
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv();

 private:
  std::string m_name;
  bool m_had_value = false;
  std::string m_old_value;
};

/// Points the process's standard output or error (the system descriptor or handle, which
/// write_text uses) at `file` while it lives, then restores it. `file` is replaced or created.
class StreamToFile {
 public:
  StreamToFile(Stream stream, const std::filesystem::path& file);
  StreamToFile(const StreamToFile&) = delete;
  StreamToFile& operator=(const StreamToFile&) = delete;
  ~StreamToFile();

  struct Saved;

 private:
  std::unique_ptr<Saved> m_saved;
};

/// Points the process's standard output or error (the system descriptor or handle) at the
/// writing end of a new pipe until restore(), the way a console program's streams are: child
/// programs may inherit it. Then reads what every writer of the pipe wrote.
class StreamToPipe {
 public:
  explicit StreamToPipe(Stream stream);
  StreamToPipe(const StreamToPipe&) = delete;
  StreamToPipe& operator=(const StreamToPipe&) = delete;
  ~StreamToPipe();

  /// Points the stream back where it was and closes this process's writing end.
  void restore();

  /// After restore(): the pipe's whole content once every writer has closed it, or nothing when
  /// one still holds it after `limit`.
  [[nodiscard]] std::optional<std::string> read_to_end(std::chrono::milliseconds limit);

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

}  // namespace tavrick::test

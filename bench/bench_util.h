#pragma once
// Helpers of the benchmarks: the shared monotonic clock, figures of a sample, child processes
// with their output in a file, and what /proc says about a process.

#include <spawn.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

/// CLOCK_MONOTONIC in nanoseconds: the same clock in every process of the machine.
[[nodiscard]] std::int64_t now_ns();

/// Sleeps for `ms` milliseconds.
void sleep_ms(std::int64_t ms);

/// Median, p99 and extremes of a sample of durations in nanoseconds.
struct Figures {
  std::size_t count = 0;
  double median_us = 0;
  double p99_us = 0;
  double min_us = 0;
  double max_us = 0;
};

/// The figures of `sample_ns` (sorted in place); all zero for an empty sample.
[[nodiscard]] Figures figures(std::vector<std::int64_t>& sample_ns);

/// "median 41.2 µs, p99 180.5 µs (min 20.1, max 400.0, n 5000)".
[[nodiscard]] std::string describe(const Figures& figures);

/// Starts `argv[0]` (a path) with `argv` and the environment of this process plus `extra_env`
/// ("NAME=value", replacing variables of the same name), with `actions` on its descriptors. The
/// process id, or -1.
[[nodiscard]] pid_t spawn(const std::vector<std::string>& argv,
                          const std::vector<std::string>& extra_env,
                          const posix_spawn_file_actions_t* actions);

/// A child process started by the benchmark, its standard output and error in a file. The
/// destructor ends it (SIGTERM, then SIGKILL after 2 s) and reaps it.
class Child {
 public:
  /// Starts `argv[0]` (a path) with `argv`, the environment of this process plus `extra_env`
  /// ("NAME=value"), output to `output`. Nothing when it cannot be started.
  [[nodiscard]] static std::optional<Child> start(const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& extra_env,
                                                  const std::filesystem::path& output);
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  ~Child();

  [[nodiscard]] pid_t pid() const { return m_pid; }
  /// True while the process has not ended.
  [[nodiscard]] bool running();
  /// Ends the process now (SIGTERM, then SIGKILL) and reaps it.
  void stop();
  /// Waits for the end; the exit status as waitpid gives it, or nothing after `timeout_ms`.
  [[nodiscard]] std::optional<int> wait(std::int64_t timeout_ms);

 private:
  Child(pid_t pid, std::filesystem::path output) : m_pid(pid), m_output(std::move(output)) {}
  pid_t m_pid = -1;
  std::filesystem::path m_output;
};

/// The whole content of a file; empty when it cannot be read.
[[nodiscard]] std::string read_file(const std::filesystem::path& path);

/// Waits until the file holds `needle`, up to `timeout_ms`; the instant (now_ns) it was seen.
[[nodiscard]] std::optional<std::int64_t> wait_for_text(const std::filesystem::path& path,
                                                        std::string_view needle,
                                                        std::int64_t timeout_ms);

/// Memory and CPU time of a process, from /proc/<pid>/status and /proc/<pid>/stat.
struct ProcessUse {
  std::uint64_t rss_kb = 0;       ///< VmRSS
  std::uint64_t anon_kb = 0;      ///< RssAnon: the process's own heap and stacks
  std::uint64_t shmem_kb = 0;     ///< RssShmem: shared memory mapped in (JACK's segments)
  std::uint64_t peak_rss_kb = 0;  ///< VmHWM
  std::uint64_t cpu_ticks = 0;    ///< utime + stime, in clock ticks
};
[[nodiscard]] std::optional<ProcessUse> process_use(pid_t pid);

/// Clock ticks per second of /proc/<pid>/stat.
[[nodiscard]] long ticks_per_second();

/// A fresh folder under the temporary folder, removed by the destructor.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view prefix);
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir();
  [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

/// The load average of the last minute and the number of processors, for the report.
[[nodiscard]] std::string machine_line();

}  // namespace bench

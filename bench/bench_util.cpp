#include "bench_util.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

extern char** environ;

namespace bench {

std::int64_t now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void sleep_ms(std::int64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

Figures figures(std::vector<std::int64_t>& sample_ns) {
  Figures result;
  result.count = sample_ns.size();
  if (sample_ns.empty()) {
    return result;
  }
  std::sort(sample_ns.begin(), sample_ns.end());
  // Nearest rank: the smallest value with at least p of the sample at or below it.
  const auto rank = [&](double p) {
    const auto index =
        static_cast<std::size_t>(std::ceil(p * static_cast<double>(sample_ns.size())));
    return static_cast<double>(sample_ns[std::clamp<std::size_t>(index, 1, sample_ns.size()) - 1]) /
           1000.0;
  };
  result.median_us = rank(0.5);
  result.p99_us = rank(0.99);
  result.min_us = static_cast<double>(sample_ns.front()) / 1000.0;
  result.max_us = static_cast<double>(sample_ns.back()) / 1000.0;
  return result;
}

std::string describe(const Figures& f) {
  char text[160];
  std::snprintf(text, sizeof text, "median %.1f µs, p99 %.1f µs (min %.1f, max %.1f, n %zu)",
                f.median_us, f.p99_us, f.min_us, f.max_us, f.count);
  return text;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env,
            const posix_spawn_file_actions_t* actions) {
  std::vector<char*> args;
  for (const auto& arg : argv) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  std::vector<std::string> env_text(extra_env);
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const auto name = text.substr(0, text.find('=') + 1);
    const bool replaced = std::any_of(extra_env.begin(), extra_env.end(),
                                      [&](const std::string& e) { return e.starts_with(name); });
    if (!replaced) {
      env_text.emplace_back(text);
    }
  }
  std::vector<char*> env;
  for (auto& entry : env_text) {
    env.push_back(entry.data());
  }
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], actions, nullptr, args.data(), env.data()) != 0) {
    return -1;
  }
  return pid;
}

std::optional<Child> Child::start(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& extra_env,
                                  const std::filesystem::path& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  const pid_t pid = spawn(argv, extra_env, &actions);
  posix_spawn_file_actions_destroy(&actions);
  if (pid < 0) {
    return std::nullopt;
  }
  return Child(pid, output);
}

Child::Child(Child&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_output(std::move(other.m_output)) {}

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    stop();
    m_pid = std::exchange(other.m_pid, -1);
    m_output = std::move(other.m_output);
  }
  return *this;
}

Child::~Child() { stop(); }

bool Child::running() {
  if (m_pid <= 0) {
    return false;
  }
  int status = 0;
  if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
    m_pid = -1;
    return false;
  }
  return true;
}

void Child::stop() {
  if (!running()) {
    return;
  }
  kill(m_pid, SIGTERM);
  if (!wait(2000)) {
    kill(m_pid, SIGKILL);
    (void)wait(5000);
  }
}

std::optional<int> Child::wait(std::int64_t timeout_ms) {
  const std::int64_t deadline = now_ns() + timeout_ms * 1'000'000;
  while (m_pid > 0) {
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return status;
    }
    if (now_ns() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return std::nullopt;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<std::int64_t> wait_for_text(const std::filesystem::path& path,
                                          std::string_view needle, std::int64_t timeout_ms) {
  const std::int64_t deadline = now_ns() + timeout_ms * 1'000'000;
  for (;;) {
    if (read_file(path).find(needle) != std::string::npos) {
      return now_ns();
    }
    if (now_ns() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

namespace {

std::uint64_t status_kb(std::string_view status, std::string_view field) {
  const auto at = status.find(field);
  if (at == std::string_view::npos) {
    return 0;
  }
  auto rest = status.substr(at + field.size());
  rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
  std::uint64_t value = 0;
  std::from_chars(rest.data(), rest.data() + rest.size(), value);
  return value;
}

}  // namespace

std::optional<ProcessUse> process_use(pid_t pid) {
  const std::string base = "/proc/" + std::to_string(pid);
  const std::string status = read_file(base + "/status");
  const std::string stat = read_file(base + "/stat");
  // The command name in parentheses may hold spaces; the fields after it are plain.
  const auto close = stat.rfind(')');
  if (status.empty() || close == std::string::npos) {
    return std::nullopt;
  }
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  ProcessUse use;
  // After the name: state(3) ... utime(14) stime(15); field 3 is the first one read here.
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number == 14 || number == 15) {
      use.cpu_ticks += std::stoull(field);
    }
  }
  use.rss_kb = status_kb(status, "VmRSS:");
  use.peak_rss_kb = status_kb(status, "VmHWM:");
  use.anon_kb = status_kb(status, "RssAnon:");
  use.shmem_kb = status_kb(status, "RssShmem:");
  return use;
}

long ticks_per_second() { return sysconf(_SC_CLK_TCK); }

ScratchDir::ScratchDir(std::string_view prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  m_path = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string machine_line() {
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  char text[160];
  std::snprintf(text, sizeof text, "machine: %ld processors, load average %.2f %.2f %.2f",
                sysconf(_SC_NPROCESSORS_ONLN), load[0], load[1], load[2]);
  return text;
}

}  // namespace bench

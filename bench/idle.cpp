// The idle benchmark: what the bridge costs per thread while nothing happens.

#include "benchmarks.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "report.h"

namespace bench {

namespace {

// Busy time (ns) and voluntary context switches of each thread of `pid`, from /proc.
struct ThreadUse {
  std::string name;
  std::uint64_t run_ns = 0;
  std::uint64_t switches = 0;
};

std::vector<std::pair<int, ThreadUse>> thread_use(pid_t pid) {
  std::vector<std::pair<int, ThreadUse>> result;
  const std::string base = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(base.c_str());
  if (dir == nullptr) {
    return result;
  }
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') {
      continue;
    }
    const std::string task = base + "/" + entry->d_name;
    ThreadUse use;
    use.name = read_file(task + "/comm");
    if (!use.name.empty() && use.name.back() == '\n') {
      use.name.pop_back();
    }
    std::sscanf(read_file(task + "/schedstat").c_str(), "%lu", &use.run_ns);
    const std::string status = read_file(task + "/status");
    const auto at = status.find("voluntary_ctxt_switches:");
    if (at != std::string::npos) {
      use.switches = std::stoull(status.substr(at + 24));
    }
    result.emplace_back(std::stoi(entry->d_name), use);
  }
  closedir(dir);
  std::sort(result.begin(), result.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return result;
}

}  // namespace

int run_idle(const Settings& settings) {
  const std::int64_t seconds = settings.seconds > 0 ? settings.seconds : 60;
  auto rig = start_rig(settings, TurnPlan{}, Reference::none);
  if (!rig) {
    return 1;
  }
  print_header("Idle cost: application connected, surface quiet", settings);
  sleep_ms(2000);
  const pid_t pid = rig->bridge->pid();
  const auto before = process_use(pid);
  const auto threads_before = thread_use(pid);
  const std::int64_t start = now_ns();
  sleep_ms(seconds * 1000);
  const auto after = process_use(pid);
  const auto threads_after = thread_use(pid);
  const double elapsed = static_cast<double>(now_ns() - start) / 1e9;
  if (!before || !after) {
    std::printf("  the bridge ended\n");
    return 1;
  }
  const double cpu_s = static_cast<double>(after->cpu_ticks - before->cpu_ticks) /
                       static_cast<double>(ticks_per_second());
  std::uint64_t run_ns = 0;
  std::uint64_t own_ns = 0;
  for (const auto& [tid, use] : threads_after) {
    const auto old = std::find_if(threads_before.begin(), threads_before.end(),
                                  [&](const auto& t) { return t.first == tid; });
    const std::uint64_t ran = use.run_ns - (old != threads_before.end() ? old->second.run_ns : 0);
    const std::uint64_t woke =
        use.switches - (old != threads_before.end() ? old->second.switches : 0);
    run_ns += ran;
    // A thread woken about once per JACK period is a JACK client thread (RtMidi's), not one of
    // the bridge's own.
    const double wake_rate = static_cast<double>(woke) / elapsed;
    const bool jack_thread = wake_rate > 0.8 * 48000.0 / settings.period;
    if (!jack_thread) {
      own_ns += ran;
    }
    std::printf("  thread %d \"%s\": %.2f ms busy, %.1f wake-ups/s%s\n", tid, use.name.c_str(),
                static_cast<double>(ran) / 1e6, wake_rate, jack_thread ? " (JACK client)" : "");
  }
  const double share = cpu_s / elapsed * 100;
  std::printf(
      "  over %.0f s: CPU time %.3f s by /proc/<pid>/stat (%.3f %% of one core), %.1f ms "
      "by the threads' schedstat (%.4f %%)\n",
      elapsed, cpu_s, share, static_cast<double>(run_ns) / 1e6,
      static_cast<double>(run_ns) / 1e9 / elapsed * 100);
  const double own_share = static_cast<double>(own_ns) / 1e9 / elapsed * 100;
  std::printf("  the bridge's own threads (without JACK's): %.1f ms, %.4f %% of one core\n",
              static_cast<double>(own_ns) / 1e6, own_share);
  std::printf("  memory: %s\n", memory_text(*after).c_str());
  std::printf(
      "  goals: under 0.2 %% of one core: %s (own threads %s); under 10 MB resident: %s "
      "(own memory %s)\n",
      share < 0.2 ? "met" : "NOT met", own_share < 0.2 ? "met" : "NOT met",
      after->rss_kb < 10 * 1024 ? "met" : "NOT met",
      after->anon_kb < 10 * 1024 ? "met" : "NOT met");
  return 0;
}

}  // namespace bench

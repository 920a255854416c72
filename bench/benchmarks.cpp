#include "benchmarks.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <cstdio>
#include <string>

namespace bench {

namespace {

// Waits until the surface has sent its whole plan and `expected` adjust lines arrived (or the
// time-out passed, or no line came for 5 s), then ends the baseline's process and reads its
// arrivals. The bridge's largest own memory (RssAnon) seen meanwhile, sampled every 5 ms.
std::uint64_t wait_for_turns(Rig& rig, std::size_t expected, std::int64_t timeout_ms) {
  const std::int64_t deadline = now_ns() + timeout_ms * 1'000'000;
  std::size_t last = 0;
  std::int64_t last_change = now_ns();
  std::uint64_t peak_anon_kb = 0;
  while (now_ns() < deadline) {
    if (const auto use = process_use(rig.bridge->pid())) {
      peak_anon_kb = std::max(peak_anon_kb, use->anon_kb);
    }
    const std::size_t got = rig.peer->adjust_count();
    if (rig.surface->progress() == rig.surface->size() && got >= expected) {
      break;
    }
    if (got != last) {
      last = got;
      last_change = now_ns();
    } else if (rig.surface->progress() == rig.surface->size() &&
               now_ns() - last_change > 5'000'000'000) {
      break;
    }
    sleep_ms(5);
  }
  sleep_ms(200);  // anything extra (a duplicate) would arrive now
  if (rig.reference_kind == Reference::baseline) {
    (void)rig.reference->finish();  // when it fails, the baseline has read nothing
  }
  return peak_anon_kb;
}

// Every turn arrived once, in order: the k-th adjust line carries the k-th turn's detents.
bool arrived_in_order(const TurnPlan& plan, const std::vector<PeerLine>& lines, const char* who) {
  std::size_t mismatch = 0;
  while (mismatch < std::min(plan.value.size(), lines.size()) &&
         value_of_delta(lines[mismatch].delta) == plan.value[mismatch]) {
    ++mismatch;
  }
  if (lines.size() == plan.value.size() && mismatch == lines.size()) {
    std::printf("  %s: all %zu turns arrived once, in order\n", who, lines.size());
    return true;
  }
  std::printf("  %s: FAILED: %zu turns sent, %zu arrived, first difference at turn %zu\n", who,
              plan.value.size(), lines.size(), mismatch);
  return false;
}

bool baseline_in_order(const TurnPlan& plan, const ReaderProcess& reader) {
  const std::size_t count = reader.count();
  bool same = count == plan.value.size();
  for (std::size_t i = 0; same && i < count; ++i) {
    same = reader.values()[i] == plan.value[i];
  }
  if (!same) {
    std::printf("  baseline: FAILED: %zu turns sent, %zu read, or out of order\n",
                plan.value.size(), count);
  }
  return same;
}

void print_header(const char* what, const Settings& settings) {
  std::printf("%s\n  %s; JACK period %d frames at 48 kHz (%.0f µs), synchronous mode\n", what,
              machine_line().c_str(), settings.period, settings.period * 1e6 / 48000.0);
}

std::string kb_text(std::uint64_t kb) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(kb) / 1024.0);
  return text;
}

// Resident memory split into the process's own (heap, stacks) and JACK's shared segments.
std::string memory_text(const ProcessUse& use) {
  return kb_text(use.rss_kb) + " resident: " + kb_text(use.anon_kb) + " its own (RssAnon), " +
         kb_text(use.shmem_kb) + " JACK shared memory (RssShmem), the rest mapped files";
}

// When each turn reached the reference of `rig`, after checking that every turn did, once and in
// order; nothing otherwise.
std::optional<std::vector<std::int64_t>> reference_arrivals(const Rig& rig, const TurnPlan& plan) {
  if (rig.reference_kind == Reference::baseline) {
    if (!baseline_in_order(plan, *rig.reference)) {
      return std::nullopt;
    }
    return rig.reference->arrived_ns();
  }
  const auto lines = adjust_lines(*rig.relay_peer);
  if (!arrived_in_order(plan, lines, "relay")) {
    return std::nullopt;
  }
  std::vector<std::int64_t> arrived;
  for (const auto& line : lines) {
    arrived.push_back(line.at_ns);
  }
  return arrived;
}

// One run of `settings.turns` paced turns beside `reference` opened in `order`; prints its
// figures. Per turn, the bridge's latency minus the reference's; nothing when a turn went missing
// or astray.
std::optional<std::vector<std::int64_t>> measure_latency(const Settings& settings,
                                                         Reference reference, Order order) {
  auto rig = start_rig(settings, paced_plan(settings.turns, settings.interval_us * 1000), reference,
                       order);
  if (!rig) {
    return std::nullopt;
  }
  rig->surface->start();
  const auto& plan = rig->surface->plan();
  wait_for_turns(
      *rig, plan.value.size(),
      static_cast<std::int64_t>(plan.value.size()) * settings.interval_us / 1000 + 20'000);
  const auto lines = adjust_lines(*rig->peer);
  const bool bridge_ok = arrived_in_order(plan, lines, "bridge");
  const auto arrived = reference_arrivals(*rig, plan);
  if (!bridge_ok || !arrived) {
    return std::nullopt;
  }
  std::vector<std::int64_t> bridge;
  std::vector<std::int64_t> through_reference;
  std::vector<std::int64_t> apart;
  const auto& sent = rig->surface->sent_ns();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bridge.push_back(lines[i].at_ns - sent[i]);
    through_reference.push_back((*arrived)[i] - sent[i]);
    apart.push_back(lines[i].at_ns - (*arrived)[i]);
  }
  const char* name = reference == Reference::baseline ? "baseline" : "relay";
  std::printf("    bridge %s\n    %s %s\n", describe(figures(bridge)).c_str(), name,
              describe(figures(through_reference)).c_str());
  std::printf("    bridge − %s, turn by turn: %s\n", name, describe(figures(apart)).c_str());
  return apart;  // sorted now, which pooling does not mind
}

// Both orders of the bridge and `reference`: the bridge − reference differences of the two runs
// together, or nothing when a run failed.
std::optional<Figures> compare_both_orders(const Settings& settings, Reference reference) {
  const char* name = reference == Reference::baseline ? "baseline" : "relay";
  std::printf("  the %s opened first:\n", name);
  auto first = measure_latency(settings, reference, Order::reference_first);
  if (!first) {
    return std::nullopt;
  }
  std::printf("  the bridge opened first:\n");
  auto second = measure_latency(settings, reference, Order::bridge_first);
  if (!second) {
    return std::nullopt;
  }
  first->insert(first->end(), second->begin(), second->end());
  return figures(*first);
}

}  // namespace

int run_latency(const Settings& settings) {
  print_header("Latency of one knob turn (surface → request line at the application)", settings);
  std::printf(
      "  %zu turns, %lld µs apart, in each of four runs. JACK serves the readers of a port one\n"
      "  after the other in the order they were opened, so each comparison is made in both\n"
      "  orders and judged on the two runs together.\n",
      settings.turns, static_cast<long long>(settings.interval_us));
  std::printf("The bridge against the baseline (a bare JACK reader in a process of its own)\n");
  const auto share = compare_both_orders(settings, Reference::baseline);
  if (!share) {
    return 1;
  }
  std::printf("  bridge's own share (bridge − baseline), both runs: %s\n",
              describe(*share).c_str());
  std::printf("  goal: share under 50 µs at the median and 250 µs at p99: %s\n",
              share->median_us < 50 && share->p99_us < 250 ? "met" : "NOT met");
  std::printf(
      "Where the share goes: the bridge against the relay (a bare JACK reader in a process of its\n"
      "own that hands each message to a thread, which writes the turn's request line to a "
      "stand-in)\n");
  const auto rest = compare_both_orders(settings, Reference::relay);
  if (!rest) {
    return 1;
  }
  std::printf("  the bridge's work beyond the hand-offs (bridge − relay), both runs: %s\n",
              describe(*rest).c_str());
  std::printf("  so the hand-offs take about %.1f µs of the share's median\n",
              share->median_us - rest->median_us);
  return 0;
}

int run_throughput(const Settings& settings) {
  // Three bursts of 10,000 turns, as fast as JACK carries them, 2 s apart; then a sustained
  // 20,000 turns per second for 10 s. Each in a rig of its own.
  constexpr std::size_t k_burst = 10'000;
  constexpr std::size_t k_bursts = 3;
  int status = 0;
  {
    TurnPlan plan = paced_plan(k_burst * k_bursts, 0);
    for (std::size_t i = 0; i < plan.due_ns.size(); ++i) {
      plan.due_ns[i] = static_cast<std::int64_t>(i / k_burst) * 2'000'000'000;
    }
    plan.max_per_cycle = k_burst;
    auto rig = start_rig(settings, std::move(plan), Reference::baseline);
    if (!rig) {
      return 1;
    }
    print_header("Throughput: bursts of 10,000 turns", settings);
    const auto before = process_use(rig->bridge->pid());
    rig->surface->start();
    const auto peak_anon_kb = wait_for_turns(*rig, k_burst * k_bursts, 60'000);
    const auto& burst_plan = rig->surface->plan();
    const auto lines = adjust_lines(*rig->peer);
    const bool ok = arrived_in_order(burst_plan, lines, "bridge") &&
                    baseline_in_order(burst_plan, *rig->reference);
    if (!ok) {
      return 1;
    }
    const auto& sent = rig->surface->sent_ns();
    for (std::size_t burst = 0; burst < k_bursts; ++burst) {
      const std::size_t first = burst * k_burst;
      const std::size_t last = first + k_burst - 1;
      const double bridge_s = static_cast<double>(lines[last].at_ns - sent[first]) / 1e9;
      const double jack_s =
          static_cast<double>(rig->reference->arrived_ns()[last] - sent[first]) / 1e9;
      std::printf("  burst %zu: bridge %.1f ms (%.0f turns/s), baseline %.1f ms (%.0f turns/s)\n",
                  burst + 1, bridge_s * 1e3, k_burst / bridge_s, jack_s * 1e3, k_burst / jack_s);
    }
    const auto after = process_use(rig->bridge->pid());
    if (before && after) {
      std::printf("  bridge memory before: %s\n", memory_text(*before).c_str());
      std::printf("  bridge memory after: %s; peak %s (VmHWM), own memory peak %s\n",
                  memory_text(*after).c_str(), kb_text(after->peak_rss_kb).c_str(),
                  kb_text(peak_anon_kb).c_str());
    }
  }
  {
    constexpr std::size_t k_rate = 20'000;
    constexpr std::size_t k_seconds = 10;
    auto rig = start_rig(settings, paced_plan(k_rate * k_seconds, 1'000'000'000 / k_rate),
                         Reference::baseline);
    if (!rig) {
      return 1;
    }
    print_header("Throughput: 20,000 turns per second for 10 s", settings);
    rig->surface->start();
    const auto peak_anon_kb = wait_for_turns(*rig, k_rate * k_seconds, 60'000);
    const auto& plan = rig->surface->plan();
    const auto lines = adjust_lines(*rig->peer);
    if (!arrived_in_order(plan, lines, "bridge") || !baseline_in_order(plan, *rig->reference)) {
      return 1;
    }
    const auto& sent = rig->surface->sent_ns();
    const std::size_t n = lines.size();
    const double sent_s = static_cast<double>(sent[n - 1] - sent[0]) / 1e9;
    const double arrived_s = static_cast<double>(lines[n - 1].at_ns - lines[0].at_ns) / 1e9;
    std::vector<std::int64_t> lag;
    std::vector<std::int64_t> jack_lag;
    for (std::size_t i = 0; i < n; ++i) {
      lag.push_back(lines[i].at_ns - sent[i]);
      jack_lag.push_back(rig->reference->arrived_ns()[i] - sent[i]);
    }
    std::printf("  sent at %.0f turns/s, arrived at %.0f turns/s\n",
                static_cast<double>(n) / sent_s, static_cast<double>(n) / arrived_s);
    std::printf("  lag at the application: %s\n", describe(figures(lag)).c_str());
    std::printf("  lag at the baseline:    %s\n", describe(figures(jack_lag)).c_str());
    if (const auto use = process_use(rig->bridge->pid())) {
      std::printf("  bridge memory after: %s; peak %s (VmHWM), own memory peak %s\n",
                  memory_text(*use).c_str(), kb_text(use->peak_rss_kb).c_str(),
                  kb_text(peak_anon_kb).c_str());
    }
  }
  return status;
}

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
    std::printf("  thread %d: %.2f ms busy, %.1f wake-ups/s%s\n", tid,
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

namespace {

// Starts `argv` with its standard output on a pipe; the instant the pipe first holds `needle`
// (or the end of the program when `needle` is empty), measured from just before the start.
std::optional<std::int64_t> time_to(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& env_extra,
                                    std::string_view needle) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const std::int64_t start = now_ns();
  const pid_t pid = spawn(argv, env_extra, &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (pid < 0) {
    close(pipe_fds[0]);
    return std::nullopt;
  }
  std::string output;
  std::optional<std::int64_t> seen;
  char buffer[65536];
  for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
    output.append(buffer, static_cast<std::size_t>(got));
    if (!needle.empty() && output.find(needle) != std::string::npos) {
      seen = now_ns() - start;
      kill(pid, SIGKILL);
      break;
    }
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (needle.empty() && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    seen = now_ns() - start;
  }
  return seen;
}

}  // namespace

int run_startup(const Settings& settings) {
  ScratchDir dir("tavrick-startup");
  print_header("Start-up", settings);
  // The bridge needs no JACK server and no application before its start-up line.
  std::vector<std::int64_t> run_times;
  for (int i = 0; i < 30; ++i) {
    const auto data = dir.path() / std::to_string(i);
    const auto t = time_to({settings.tavrick, "run", "--no-env", "--port", "9"},
                           {"LOCALAPPDATA=" + data.string()}, "Đang chạy (");
    if (!t) {
      std::printf("  run: no start-up line\n");
      return 1;
    }
    run_times.push_back(*t);
  }
  std::vector<std::int64_t> list_times;
  for (int i = 0; i < 50; ++i) {
    const auto t = time_to({settings.tavrick, "list"}, {}, "");
    if (!t) {
      std::printf("  list failed\n");
      return 1;
    }
    list_times.push_back(*t);
  }
  std::printf("  run --no-env, start to the start-up line: %s\n",
              describe(figures(run_times)).c_str());
  std::printf("  list, whole run (output to a pipe):       %s\n",
              describe(figures(list_times)).c_str());
  return 0;
}

}  // namespace bench

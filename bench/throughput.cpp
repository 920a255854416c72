// The throughput benchmark: turns as fast as the surface sends them.

#include "benchmarks.h"

#include <cstdio>

#include "report.h"

namespace bench {

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

}  // namespace bench

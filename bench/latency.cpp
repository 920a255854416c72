// The latency benchmark: how much later than a reference reader the bridge delivers each paced
// turn, with both orders of opening.

#include "benchmarks.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "report.h"

namespace bench {

namespace {

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

}  // namespace bench

#include "report.h"

#include <algorithm>
#include <cstdio>

namespace bench {

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

std::string memory_text(const ProcessUse& use) {
  return kb_text(use.rss_kb) + " resident: " + kb_text(use.anon_kb) + " its own (RssAnon), " +
         kb_text(use.shmem_kb) + " JACK shared memory (RssShmem), the rest mapped files";
}

}  // namespace bench

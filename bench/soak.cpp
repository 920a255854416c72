// The fault soak: the surface turns a knob 200 times a second while the application stand-in
// restarts, answers late, refuses, sends garbage and half lines, stops reading and closes in the
// middle of a line, and the surface is unplugged and plugged in again. Afterwards:
//   - the bridge never ended, and its log kept advancing;
//   - its resident memory stayed flat after the first quarter of the run;
//   - per connection (epoch), the develop.adjust lines are a gap-free run of the turns the
//     bridge heard, in order, each later than the turn was sent; across connections no turn
//     comes twice or out of order;
//   - every turn the bridge heard while the application was reachable arrived: sent at least
//     k_head after a connection was accepted and at least k_tail before it was closed.

#include <algorithm>
#include <cstdio>
#include <random>

#include "benchmarks.h"

namespace bench {

namespace {

constexpr std::int64_t k_turn_interval_ns = 5'000'000;  // 200 turns per second
constexpr std::int64_t k_head_ns = 1'000'000;
constexpr std::int64_t k_tail_ns = 20'000'000;

struct Sample {
  std::int64_t at_ns;
  std::uint64_t rss_kb;
  std::uintmax_t log_bytes;
};

struct Tally {
  std::size_t restarts = 0, mid_line_closes = 0, stalls = 0, unplugs = 0;
  std::size_t modes[5] = {};
};

const char* mode_name(std::size_t mode) {
  static const char* names[] = {"prompt", "late", "refuse", "garbage", "silent"};
  return names[mode];
}

}  // namespace

int run_soak(const Settings& settings) {
  const std::int64_t seconds = settings.seconds > 0 ? settings.seconds : 180;
  TurnPlan plan = paced_plan(static_cast<std::size_t>(seconds * 1'000'000'000 / k_turn_interval_ns),
                             k_turn_interval_ns);
  auto rig = start_rig(settings, std::move(plan), Baseline::no);
  if (!rig) {
    return 1;
  }
  std::printf("Fault soak, %lld s, a turn every %lld ms\n  %s\n", static_cast<long long>(seconds),
              static_cast<long long>(k_turn_interval_ns / 1'000'000), machine_line().c_str());
  std::fflush(stdout);

  std::mt19937 random(20261210);
  const auto between = [&](std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
  };
  Tally tally;
  std::vector<Sample> samples;
  bool died = false;
  const std::int64_t start = now_ns();
  const std::int64_t faults_end = start + (seconds - 5) * 1'000'000'000;  // a quiet end
  std::int64_t next_fault = start + 2'000'000'000;
  std::int64_t next_sample = start;
  std::int64_t next_unplug = start + between(8, 15) * 1'000'000'000;
  std::int64_t replug_at = 0;
  rig->surface->start();

  while (rig->surface->progress() < rig->surface->size() && !died) {
    const std::int64_t now = now_ns();
    if (now >= next_sample) {
      next_sample += 1'000'000'000;
      if (!rig->bridge->running()) {
        died = true;
        break;
      }
      std::error_code ignored;
      const auto use = process_use(rig->bridge->pid());
      samples.push_back(
          {now, use ? use->rss_kb : 0, std::filesystem::file_size(rig->bridge_log(), ignored)});
    }
    if (replug_at != 0 && now >= replug_at) {
      replug_at = rig->surface->plug() ? 0 : now + 100'000'000;
    } else if (replug_at == 0 && now >= next_unplug && now < faults_end) {
      rig->surface->unplug();
      ++tally.unplugs;
      replug_at = now + between(1000, 5000) * 1'000'000;
      next_unplug = replug_at + between(10, 20) * 1'000'000'000;
    }
    if (now >= next_fault && now < faults_end) {
      next_fault = now + between(100, 500) * 1'000'000;
      const auto pick = between(0, 99);
      if (pick < 25) {
        rig->peer->restart(between(50, 300));
        ++tally.restarts;
      } else if (pick < 40) {
        rig->peer->close_mid_line();
        ++tally.mid_line_closes;
      } else if (pick < 50) {
        rig->peer->stall(between(100, 400));
        ++tally.stalls;
      } else if (pick < 90) {
        const auto mode = static_cast<std::size_t>(between(0, 4));
        rig->peer->set_reply_mode(static_cast<ReplyMode>(mode), between(300, 2500));
        ++tally.modes[mode];
      }
    } else if (now >= faults_end) {
      rig->peer->set_reply_mode(ReplyMode::prompt);
    }
    sleep_ms(10);
  }
  sleep_ms(1000);
  if (!died && !rig->bridge->running()) {
    died = true;
  }

  bool ok = true;
  std::printf("  faults: %zu restarts, %zu closes mid-line, %zu stalls, %zu unplugs; reply modes:",
              tally.restarts, tally.mid_line_closes, tally.stalls, tally.unplugs);
  for (std::size_t mode = 0; mode < 5; ++mode) {
    std::printf(" %s %zu", mode_name(mode), tally.modes[mode]);
  }
  std::printf("\n");
  if (died) {
    std::printf("  FAILED: the bridge ended; the end of its log:\n");
    const std::string log = read_file(rig->bridge_log());
    std::printf("%s\n", log.substr(log.size() > 3000 ? log.size() - 3000 : 0).c_str());
    return 1;
  }

  // Liveness: the log grew at least once in every 10 s while faults ran.
  std::int64_t longest_still = 0;
  for (std::size_t i = 1, last_growth = 0; i < samples.size(); ++i) {
    if (samples[i].log_bytes != samples[i - 1].log_bytes) {
      last_growth = i;
    }
    if (samples[i].at_ns < faults_end) {
      longest_still = std::max(longest_still, samples[i].at_ns - samples[last_growth].at_ns);
    }
  }
  const std::string log = read_file(rig->bridge_log());
  const auto count_of = [&](std::string_view needle) {
    std::size_t count = 0;
    for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
      ++count;
    }
    return count;
  };
  std::printf(
      "  bridge alive throughout; log %zu bytes, longest time without a new line %.1f s; "
      "%zu connections, %zu refusals logged, %zu unplugs seen, %zu opens\n",
      log.size(), static_cast<double>(longest_still) / 1e9, count_of("→ đã nối"),
      count_of("✗ Sorvic báo lỗi"), count_of("đã rút ra"), count_of("→ đang nghe"));
  if (longest_still > 10'000'000'000) {
    std::printf("  FAILED: the log stood still for more than 10 s\n");
    ok = false;
  }

  // Memory: the median of the last quarter against the median of the second quarter.
  if (samples.size() >= 8) {
    const auto median_rss = [&](std::size_t from, std::size_t to) {
      std::vector<std::uint64_t> values;
      for (std::size_t i = from; i < to; ++i) {
        values.push_back(samples[i].rss_kb);
      }
      std::sort(values.begin(), values.end());
      return values[values.size() / 2];
    };
    const std::size_t quarter = samples.size() / 4;
    const auto early = median_rss(quarter, 2 * quarter);
    const auto late = median_rss(3 * quarter, samples.size());
    const auto peak =
        std::max_element(samples.begin(), samples.end(),
                         [](const Sample& a, const Sample& b) { return a.rss_kb < b.rss_kb; });
    std::printf(
        "  resident memory: %llu kB in the second quarter, %llu kB in the last, peak %llu kB\n",
        static_cast<unsigned long long>(early), static_cast<unsigned long long>(late),
        static_cast<unsigned long long>(peak->rss_kb));
    if (late > early + 1024) {
      std::printf("  FAILED: memory grew by more than 1 MB\n");
      ok = false;
    }
  }

  // Turns: only those the bridge heard (its port was connected to the surface).
  const auto& sent = rig->surface->sent_ns();
  const auto& heard = rig->surface->heard();
  const auto& values = rig->surface->plan().value;
  std::vector<std::size_t> heard_turns;
  for (std::size_t i = 0; i < rig->surface->progress(); ++i) {
    if (sent[i] != 0 && heard[i] != 0) {
      heard_turns.push_back(i);
    }
  }
  const auto lines = rig->peer->lines();
  const auto epochs = rig->peer->epochs();
  std::vector<std::vector<PeerLine>> by_epoch(epochs.size());
  for (const auto& line : lines) {
    if (line.kind == LineKind::adjust) {
      by_epoch[line.epoch - 1].push_back(line);
    }
  }
  std::size_t position = 0;  // in heard_turns: every later epoch matches from here on
  std::size_t arrived = 0;
  std::size_t expected = 0;
  std::size_t missing = 0;
  std::size_t broken_epochs = 0;
  for (std::size_t e = 0; e < epochs.size(); ++e) {
    const auto& got = by_epoch[e];
    // The first place from `position` where the epoch's lines are the next turns in order, each
    // arriving after its turn left and within 5 s.
    const auto fits = [&](std::size_t j) {
      if (j + got.size() > heard_turns.size()) {
        return false;
      }
      for (std::size_t k = 0; k < got.size(); ++k) {
        const std::size_t turn = heard_turns[j + k];
        if (value_of_delta(got[k].delta) != values[turn] || got[k].at_ns < sent[turn] ||
            got[k].at_ns - sent[turn] > 5'000'000'000) {
          return false;
        }
      }
      return true;
    };
    std::size_t j = position;
    while (j < heard_turns.size() && !got.empty() && !fits(j)) {
      ++j;
    }
    if (!got.empty() && j >= heard_turns.size()) {
      ++broken_epochs;
      std::printf("  FAILED: connection %zu: its %zu turns are not the next heard turns in order\n",
                  e + 1, got.size());
      continue;
    }
    const std::size_t matched_from = j;
    const std::size_t matched_to = j + got.size();
    arrived += got.size();
    if (!got.empty()) {
      position = matched_to;
    }
    // Reachable window of this connection.
    const std::int64_t open_from = epochs[e].accepted_ns + k_head_ns;
    const std::int64_t open_to =
        (epochs[e].closed_ns != 0 ? epochs[e].closed_ns : now_ns()) - k_tail_ns;
    for (std::size_t h = 0; h < heard_turns.size(); ++h) {
      const std::int64_t at = sent[heard_turns[h]];
      if (at < open_from || at > open_to) {
        continue;
      }
      ++expected;
      if (got.empty() || h < matched_from || h >= matched_to) {
        ++missing;
        if (missing <= 5) {
          std::printf(
              "  FAILED: turn %zu sent %.1f ms into connection %zu (%.1f ms before its end) "
              "did not arrive on it\n",
              heard_turns[h], static_cast<double>(at - epochs[e].accepted_ns) / 1e6, e + 1,
              static_cast<double>(open_to + k_tail_ns - at) / 1e6);
        }
      }
    }
  }
  std::printf(
      "  turns: %zu planned, %zu sent, %zu heard by the bridge, %zu arrived; %zu sent while "
      "the application was reachable, %zu of them missing; %zu connections out of order\n",
      values.size(),
      static_cast<std::size_t>(
          std::count_if(sent.begin(), sent.end(), [](std::int64_t t) { return t != 0; })),
      heard_turns.size(), arrived, expected, missing, broken_epochs);
  if (missing != 0 || broken_epochs != 0) {
    ok = false;
  }
  std::printf("  %s\n", ok ? "soak held" : "SOAK FAILED");
  return ok ? 0 : 1;
}

}  // namespace bench

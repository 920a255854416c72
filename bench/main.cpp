// tavrick-bench: end-to-end benchmarks of the bridge and its fault soak.
//   tavrick-bench latency|throughput|idle|startup|soak|turn-cost [--tavrick PATH] [--period FRAMES]
//                 [--turns N] [--interval-us US] [--seconds S]

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "benchmarks.h"
#include "reader_process.h"

namespace {

int usage() {
  std::fprintf(
      stderr,
      "usage: tavrick-bench latency|throughput|idle|startup|soak|turn-cost [--tavrick PATH] "
      "[--period FRAMES] [--turns N] [--interval-us US] [--seconds S]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    return usage();
  }
  // The benchmarks' reference readers run as processes of this program.
  if (std::string_view(argv[1]) == "reader") {
    return bench::reader_main(std::span<char* const>(argv + 2, static_cast<std::size_t>(argc - 2)));
  }
  bench::Settings settings;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    const char* value = argv[i + 1];
    if (name == "--tavrick") {
      settings.tavrick = value;
    } else if (name == "--period") {
      settings.period = std::atoi(value);
    } else if (name == "--turns") {
      settings.turns = std::strtoull(value, nullptr, 10);
    } else if (name == "--interval-us") {
      settings.interval_us = std::atoll(value);
    } else if (name == "--seconds") {
      settings.seconds = std::atoll(value);
    } else {
      return usage();
    }
  }
  if ((argc - 2) % 2 != 0) {
    return usage();
  }
  // Lines appear as they are printed even when the output goes to a file.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string_view command = argv[1];
  // JACK wakes every client once a period. A short period measures the turn path closely; the
  // idle run takes a long one so that the MIDI service's own wake-ups do not hide the bridge's.
  if (settings.period == 0) {
    settings.period = command == "idle" ? 1024 : 16;
  }
  if (command == "latency") {
    return bench::run_latency(settings);
  }
  if (command == "throughput") {
    return bench::run_throughput(settings);
  }
  if (command == "idle") {
    return bench::run_idle(settings);
  }
  if (command == "startup") {
    return bench::run_startup(settings);
  }
  if (command == "soak") {
    return bench::run_soak(settings);
  }
  if (command == "turn-cost") {
    return bench::run_turn_cost(settings);
  }
  return usage();
}

#pragma once
// The benchmarks; each prints its figures and returns the process exit code (0 when it ran and
// every turn arrived once and in order; goals missed are reported, not failed).

#include "rig.h"

namespace bench {

int run_latency(const Settings& settings);
int run_throughput(const Settings& settings);
int run_idle(const Settings& settings);
int run_startup(const Settings& settings);
int run_soak(const Settings& settings);
int run_turn_cost(const Settings& settings);

}  // namespace bench

#pragma once
// What the benchmarks share: waiting for the turns of a run, checking that each arrived once and
// in order, and the texts they print.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rig.h"

namespace bench {

/// Waits until the surface has sent its whole plan and `expected` adjust lines arrived (or the
/// time-out passed, or no line came for 5 s), then ends the baseline's process and reads its
/// arrivals. The bridge's largest own memory (RssAnon) seen meanwhile, sampled every 5 ms.
std::uint64_t wait_for_turns(Rig& rig, std::size_t expected, std::int64_t timeout_ms);

/// Every turn arrived once, in order: the k-th adjust line carries the k-th turn's detents.
/// Prints the verdict for `who`.
bool arrived_in_order(const TurnPlan& plan, const std::vector<PeerLine>& lines, const char* who);

/// The baseline reader read every turn once, in order; prints a failure.
bool baseline_in_order(const TurnPlan& plan, const ReaderProcess& reader);

/// The first lines of a benchmark's output: what it measures, the machine, the JACK period.
void print_header(const char* what, const Settings& settings);

/// `kb` kibibytes as megabytes with one decimal ("12.3 MB").
std::string kb_text(std::uint64_t kb);

/// Resident memory split into the process's own (heap, stacks) and JACK's shared segments.
std::string memory_text(const ProcessUse& use);

}  // namespace bench

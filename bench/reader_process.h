#pragma once
// The reference readers (the baseline and the relay) run in processes of their own, as the
// bridge does, so that each message takes the same path out of the surface's process to them as
// to the bridge. The process is tavrick-bench itself, started with the hidden command "reader".

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench_util.h"

namespace bench {

class ReaderProcess {
 public:
  /// Starts a reader of `source` (a full port name) as the JACK client `client_name` in a process
  /// of its own, with its output in `folder`, and waits until it is connected. With
  /// `relay_port` it is the relay, writing to 127.0.0.1:`relay_port`; otherwise the baseline,
  /// recording up to `capacity` arrivals. Nothing (and a line on stderr) on failure.
  [[nodiscard]] static std::unique_ptr<ReaderProcess> start(const std::string& client_name,
                                                            const std::string& source,
                                                            std::size_t capacity,
                                                            std::optional<std::uint16_t> relay_port,
                                                            const std::filesystem::path& folder);

  /// Ends the process; a baseline's arrivals are then read. False when they cannot be.
  [[nodiscard]] bool finish();

  // A finished baseline's arrivals in order: when each came (now_ns) and its CC value.
  [[nodiscard]] std::size_t count() const { return m_arrived_ns.size(); }
  [[nodiscard]] const std::vector<std::int64_t>& arrived_ns() const { return m_arrived_ns; }
  [[nodiscard]] const std::vector<std::uint8_t>& values() const { return m_values; }

 private:
  ReaderProcess(Child child, std::filesystem::path results, std::filesystem::path output)
      : m_child(std::move(child)), m_results(std::move(results)), m_output(std::move(output)) {}

  Child m_child;
  std::filesystem::path m_results;
  std::filesystem::path m_output;
  std::vector<std::int64_t> m_arrived_ns;
  std::vector<std::uint8_t> m_values;
};

/// The "reader" command, in the reader's process: SOURCE CLIENT CAPACITY RESULTS [RELAY_PORT].
/// Prints "ready" once connected, runs until SIGTERM, then writes a baseline's arrivals to
/// RESULTS, one "ns value" line each.
int reader_main(std::span<char* const> args);

}  // namespace bench

#pragma once
// The set-up that every benchmark shares: a private JACK server, the application stand-in, the
// virtual surface, optionally the baseline reader, and the bridge itself (`tavrick run --no-env`)
// listening to the surface and connected to the stand-in.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app_peer.h"
#include "bench_util.h"
#include "jack_clients.h"
#include "reader_process.h"

namespace bench {

/// Settings common to every benchmark, from the command line.
struct Settings {
  std::string tavrick = TAVRICK_EXE;  ///< the program measured
  int period = 0;                     ///< JACK period in frames at 48 kHz (0: the run's default)
  std::size_t turns = 5000;           ///< turns of the latency run
  std::int64_t interval_us = 2000;    ///< between turns of the latency run
  std::int64_t seconds = 0;           ///< length of the idle or soak run (0: its default)
  bool quiet = false;
};

/// The reader of the surface beside the bridge, in a process of its own: none, the baseline (a
/// bare JACK reader) or the relay (see reader_process.h).
enum class Reference : std::uint8_t { none, baseline, relay };

/// Which of the surface's two readers is opened first. JACK serves the readers of a port one
/// after the other in the order they were opened, and on a machine with few cores the second
/// starts tens of microseconds after the first; comparisons are made in both orders.
enum class Order : bool { reference_first, bridge_first };

/// Everything running for one benchmark; the destructor stops it all.
struct Rig {
  ScratchDir dir{"tavrick-bench"};
  std::string server_name;
  std::optional<Child> jack;
  std::unique_ptr<AppPeer> peer;
  std::unique_ptr<JackSurface> surface;
  Reference reference_kind = Reference::none;
  std::unique_ptr<ReaderProcess> reference;
  std::unique_ptr<AppPeer> relay_peer;  ///< the relay's own stand-in
  std::optional<Child> bridge;

  [[nodiscard]] std::filesystem::path bridge_log() const { return dir.path() / "bridge.log"; }
  /// The name the surface's client takes; the bridge's --source.
  static constexpr const char* k_surface_name = "tavrick-bench-surface";

  ~Rig();
};

/// Starts the rig with `plan` for the surface; the bridge is running, listening to the surface
/// and connected to the stand-in when this returns. Prints why and gives nothing on failure.
[[nodiscard]] std::unique_ptr<Rig> start_rig(const Settings& settings, TurnPlan plan,
                                             Reference reference,
                                             Order order = Order::reference_first);

/// Starts the bridge of `rig` (again): `tavrick run --no-env` with a data folder of its own.
[[nodiscard]] bool start_bridge(Rig& rig, const Settings& settings);

/// The turns a peer received: the develop.adjust lines in arrival order.
[[nodiscard]] std::vector<PeerLine> adjust_lines(const AppPeer& peer);

/// The CC value a develop.adjust line stands for (delta = detents × 0.05), or 0 when the delta
/// is not a whole number of detents.
[[nodiscard]] std::uint8_t value_of_delta(double delta);

}  // namespace bench

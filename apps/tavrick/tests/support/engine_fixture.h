#pragma once
// Shared pieces of the engine tests: a clock moved by hand, captured log lines, and a driver
// state whose link talks to an in-process simulator of the editing application over real TCP.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "desktop/clock.h"
#include "driver/driver_state.h"
#include "link/link.h"
#include "sorvic_sim/sorvic_sim.h"
#include "support/log_capture.h"
#include "support/manual_clock.h"

namespace tavrick::test {

/// A simulator on a free port, a fresh Link to it, a manual clock, captured log lines and a
/// driver state on that link and clock.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest();

  /// Every request line the simulator received since the last call, in order. Lines written
  /// before the call are all in: a marker request is sent behind them and waited for.
  [[nodiscard]] std::vector<std::string> sent();

  /// The name each request line carries: the command of an engine.execute request, else the
  /// method.
  [[nodiscard]] static std::vector<std::string> commands(const std::vector<std::string>& lines);

  ManualClock clock;
  LogCapture log{Keep::all_but_connect_notices};
  std::unique_ptr<sorvic_sim::Simulator> sim;
  std::shared_ptr<Link> link;
  DriverState state;

 private:
  std::uint64_t m_syncs = 0;
};

/// The UI state in which the engine shows `page` (the grid for library).
[[nodiscard]] UiState ui_showing(Page page);

}  // namespace tavrick::test

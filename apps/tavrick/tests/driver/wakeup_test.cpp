#include "driver/wakeup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Far enough that a wait which ends by its deadline fails the test rather than passing it.
constexpr auto k_never = 60s;

TEST(WakeupTest, ASignalFromAnotherThreadEndsTheWait) {
  tavrick::Wakeup wakeup;
  std::thread raiser([&] { wakeup.device_changed(); });
  const tavrick::WakeSignals signals =
      wakeup.wait_until(std::chrono::steady_clock::now() + k_never);
  raiser.join();
  EXPECT_TRUE(signals.device_changed);
  EXPECT_FALSE(signals.connection_lost);
  EXPECT_FALSE(signals.resumed);
}

TEST(WakeupTest, SignalsRaisedWhileNobodyWaitsAreKeptAndTakenOnce) {
  tavrick::Wakeup wakeup;
  wakeup.connection_lost();
  wakeup.resumed();
  const tavrick::WakeSignals first = wakeup.wait_until(std::chrono::steady_clock::now() + k_never);
  EXPECT_TRUE(first.connection_lost);
  EXPECT_TRUE(first.resumed);
  EXPECT_FALSE(first.device_changed);
  // Taken: a wait whose deadline has passed finds nothing.
  EXPECT_FALSE(wakeup.wait_until(std::chrono::steady_clock::now()).any());
}

TEST(WakeupTest, TheDeadlineEndsAWaitWithoutSignals) {
  tavrick::Wakeup wakeup;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(wakeup.wait_until(start + 20ms).any());
  EXPECT_GE(std::chrono::steady_clock::now(), start + 20ms);
}

}  // namespace

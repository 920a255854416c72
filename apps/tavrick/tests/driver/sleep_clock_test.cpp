#include "driver/sleep_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "support/fake_sleep_clocks.h"

namespace {

using namespace std::chrono_literals;

/// One look: how far each clock moved since the one before (ms), and what the detector says.
struct Look {
  int with_sleep;
  int without_sleep;
  bool resumed;
};

struct Case {
  const char* name;
  std::vector<Look> looks;
};

const Case k_cases[] = {
    {"awake", {{500, 500, false}, {500, 500, false}, {3000, 3000, false}}},
    // A night asleep: told once, at the first look after it.
    {"slept", {{500, 500, false}, {8 * 3600 * 1000, 500, true}, {500, 500, false}}},
    // A second or less apart is not sleep; more is, counted from the most seen before.
    {"short gap", {{900, 0, false}, {1200, 100, true}}},
    // Drifting apart a little at every look is not sleep either.
    {"slow drift", {{1400, 1000, false}, {1400, 1000, false}, {1400, 1000, false}}},
    // A tick count read a step late (a dip, then catching up) never counts as sleep.
    {"late ticks", {{400, 500, false}, {600, 500, false}, {100, 1200, false}, {1300, 200, false}}},
};

TEST(ResumeDetectorTest, TellsASleepOnceFromTheDriftOfTheClocks) {
  for (const Case& test : k_cases) {
    tavrick::test::FakeSleepClocks clocks;
    tavrick::ResumeDetector detector(clocks);
    int index = 0;
    for (const Look& look : test.looks) {
      clocks.advance(std::chrono::milliseconds(look.with_sleep),
                     std::chrono::milliseconds(look.without_sleep));
      EXPECT_EQ(detector.resumed(), look.resumed) << test.name << ", look " << index;
      ++index;
    }
  }
}

TEST(ResumeDetectorTest, SystemClocksShowNoSleepWhileTheTestRuns) {
  tavrick::ResumeDetector detector(tavrick::system_sleep_clocks());
  const tavrick::SleepReading first = tavrick::system_sleep_clocks().read();
  EXPECT_GT(first.with_sleep.count(), 0);
  EXPECT_GT(first.without_sleep.count(), 0);
  EXPECT_FALSE(detector.resumed());
}

}  // namespace

#include "driver/pass_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tavrick::Instant;

/// One step of a case: at `at` (ms from the start) something happens, then the next pass is due
/// at `next` (ms from the start; -1: at once).
struct Step {
  enum class What { pass_done, device_changed, pass_now } what;
  int at;
  int next;
};

struct Case {
  const char* name;
  std::vector<Step> steps;
};

using What = Step::What;

const Case k_cases[] = {
    // Nothing happens: a pass every 3 s, the first at once.
    {"regular", {{What::pass_done, 0, 3000}, {What::pass_done, 3000, 6000}}},
    // A device change brings a pass 0.5 s later, then one 1.5 s after the change, then the
    // regular period counts from the last pass.
    {"device change",
     {{What::pass_done, 0, 3000},
      {What::device_changed, 200, 700},
      {What::pass_done, 700, 1700},
      {What::pass_done, 1700, 4700}}},
    // A burst of changes does not put off the first pass; the second comes after the last change.
    {"burst",
     {{What::pass_done, 0, 3000},
      {What::device_changed, 100, 600},
      {What::device_changed, 400, 600},
      {What::pass_done, 600, 1900},
      {What::pass_done, 1900, 4900}}},
    // A change right before a regular pass: that pass comes as planned, the others follow.
    {"change before the regular pass",
     {{What::pass_done, 0, 3000},
      {What::device_changed, 2900, 3000},
      {What::pass_done, 3000, 3400},
      {What::pass_done, 3400, 4400},
      {What::pass_done, 4400, 7400}}},
    // A connection found dead: a pass at once, then the two after a change.
    {"dead connection",
     {{What::pass_done, 0, 3000},
      {What::pass_now, 1000, -1},
      {What::pass_done, 1010, 1500},
      {What::pass_done, 1500, 2500},
      {What::pass_done, 2500, 5500}}},
};

TEST(PassScheduleTest, FollowsTheCases) {
  const Instant start = std::chrono::steady_clock::now();
  for (const Case& test : k_cases) {
    tavrick::PassSchedule schedule;
    EXPECT_TRUE(schedule.due(start)) << test.name << ": the first pass is due at once";
    for (const Step& step : test.steps) {
      const Instant at = start + std::chrono::milliseconds(step.at);
      switch (step.what) {
        case What::pass_done:
          schedule.pass_done(at);
          break;
        case What::device_changed:
          schedule.device_changed(at);
          break;
        case What::pass_now:
          schedule.pass_now(at);
          break;
      }
      const std::optional<Instant> next = schedule.next_pass();
      if (step.next < 0) {
        EXPECT_EQ(next, std::nullopt) << test.name << " at " << step.at;
        EXPECT_TRUE(schedule.due(at)) << test.name << " at " << step.at;
      } else {
        ASSERT_TRUE(next) << test.name << " at " << step.at;
        EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(*next - start).count(),
                  step.next)
            << test.name << " at " << step.at;
        EXPECT_FALSE(schedule.due(*next - 1ms)) << test.name << " at " << step.at;
        EXPECT_TRUE(schedule.due(*next)) << test.name << " at " << step.at;
      }
    }
  }
}

TEST(PassScheduleTest, TakesItsTimesFromTheSettings) {
  const Instant start = std::chrono::steady_clock::now();
  tavrick::PassSchedule schedule(
      tavrick::PassTiming{.period = 10s, .settle = 100ms, .follow_up = 200ms, .check = 50ms});
  schedule.pass_done(start);
  EXPECT_EQ(schedule.next_pass(), start + 10s);
  schedule.device_changed(start);
  EXPECT_EQ(schedule.next_pass(), start + 100ms);
  schedule.pass_done(start + 100ms);
  EXPECT_EQ(schedule.next_pass(), start + 200ms);
}

}  // namespace

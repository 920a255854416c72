#include <time.h>

#include "driver/sleep_clock.h"

namespace tavrick {

namespace {

std::chrono::nanoseconds read_clock(clockid_t id) {
  timespec value{};
  clock_gettime(id, &value);
  return std::chrono::seconds(value.tv_sec) + std::chrono::nanoseconds(value.tv_nsec);
}

class PosixSleepClocks final : public SleepClocks {
 public:
  SleepReading read() const override {
    // CLOCK_MONOTONIC stops while the machine is suspended; CLOCK_BOOTTIME goes on.
    return SleepReading{.with_sleep = read_clock(CLOCK_BOOTTIME),
                        .without_sleep = read_clock(CLOCK_MONOTONIC)};
  }
};

}  // namespace

const SleepClocks& system_sleep_clocks() {
  static const PosixSleepClocks clocks;
  return clocks;
}

}  // namespace tavrick

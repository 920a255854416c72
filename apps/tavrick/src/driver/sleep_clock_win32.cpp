#include <windows.h>
// realtimeapiset.h needs the types of windows.h first.
#include <realtimeapiset.h>

#include "driver/sleep_clock.h"

namespace tavrick {

namespace {

class Win32SleepClocks final : public SleepClocks {
 public:
  SleepReading read() const override {
    // The tick count goes on while the machine sleeps or hibernates; the unbiased interrupt time
    // (in units of 100 ns) counts only the time it works.
    ULONGLONG unbiased = 0;
    QueryUnbiasedInterruptTime(&unbiased);
    const ULONGLONG ticks = GetTickCount64();
    return SleepReading{
        .with_sleep = std::chrono::milliseconds(static_cast<std::chrono::milliseconds::rep>(ticks)),
        .without_sleep =
            std::chrono::nanoseconds(static_cast<std::chrono::nanoseconds::rep>(unbiased) * 100)};
  }
};

}  // namespace

const SleepClocks& system_sleep_clocks() {
  static const Win32SleepClocks clocks;
  return clocks;
}

}  // namespace tavrick

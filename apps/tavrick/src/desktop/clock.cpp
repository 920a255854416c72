#include "desktop/clock.h"

namespace tavrick {

namespace {

class SteadyClock final : public Clock {
 public:
  Instant now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace

const Clock& steady_clock() {
  static const SteadyClock clock;
  return clock;
}

}  // namespace tavrick

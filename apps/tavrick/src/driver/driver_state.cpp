#include "driver/driver_state.h"

#include <utility>

namespace tavrick {

DriverState::DriverState(std::shared_ptr<Link> shared_link, const Clock& monotonic)
    : control_map(ControlMap::build(binding_table())),
      link(std::move(shared_link)),
      clock(&monotonic) {}

}  // namespace tavrick

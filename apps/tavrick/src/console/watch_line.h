#pragma once
// The line that `watch` prints for one surface event.

#include <string>

#include "driver/control_event.h"

namespace tavrick {

/// "NÚM  CC {n} {label}  delta {±d}" for a turn, "NÚT  note {n} {label}  ↓" / "↑" for a press /
/// release; an unknown control has an empty label. Pure; any thread.
[[nodiscard]] std::string watch_line(const ControlEvent& event);

}  // namespace tavrick

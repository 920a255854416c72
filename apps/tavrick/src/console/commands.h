#pragma once
// The commands of the console program other than run, install and uninstall. Main thread.

#include <span>
#include <string>
#include <string_view>

#include "bindings/binding_table.h"
#include "driver/control_event.h"

namespace tavrick {

/// The map listing of `table`: groups by page and layer, one row per binding, a closing count.
[[nodiscard]] std::string map_listing(std::span<const Binding> table);

/// `list`: prints the map listing of the binding table to standard output; exit code 0.
[[nodiscard]] int list_command();

/// `ports`: prints the MIDI input port names; 0, or 1 when the list cannot be read.
[[nodiscard]] int ports_command();

/// `watch`: prints every turn, press and release of the matching ports; returns 1 when they
/// cannot be opened, otherwise never returns.
[[nodiscard]] int watch_command(std::string_view source);

/// The line that `watch` prints for one surface event: "NÚM  CC {n} {label}  delta {±d}" for a
/// turn, "NÚT  note {n} {label}  ↓" / "↑" for a press / release; an unknown control has an empty
/// label. Pure; any thread.
[[nodiscard]] std::string watch_line(const ControlEvent& event);

}  // namespace tavrick

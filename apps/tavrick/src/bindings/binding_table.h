#pragma once
// The binding table: what every control of the surface does in each page and layer. The rows
// are constant data in binding_table.cpp; the lookup map built from them is control_map.h.

#include <span>
#include <string_view>

#include "bindings/action.h"

namespace tavrick {

/// One row of the binding table.
struct Binding {
  std::string_view key;            ///< the row's control key, e.g. "loupe/0/r/33"
  std::string_view device_action;  ///< the control's function name on the surface side
  Action action;
};

/// The 421 rows in table order: page (loupe, crop, remove, redEye, masking, wb, library), then
/// layer, then rotations before presses, then ascending control number. Static, immutable and
/// constant-initialised: any thread may read them, also during static initialisation.
[[nodiscard]] std::span<const Binding> binding_table();

}  // namespace tavrick

#pragma once
// The rows of the binding table, defined as constant data in binding_table.cpp.

#include <span>

#include "bindings/binding.h"

namespace tavrick {

/// The 421 rows in table order: page (loupe, crop, remove, redEye, masking, wb, library), then
/// layer, then rotations before presses, then ascending control number. Constant-initialised,
/// so it is usable from any thread and during static initialisation. Prefer `binding_table()`.
extern const std::span<const Binding> k_binding_rows;

}  // namespace tavrick

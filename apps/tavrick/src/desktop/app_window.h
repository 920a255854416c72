#pragma once
// Bringing the editing application's window to the front, through a standard program.

namespace tavrick {

/// Brings the window "Orvalen Sorvic" to the front; logs only a failure. Blocks the calling
/// (event-loop) thread until the child has ended.
void focus_app_window();

}  // namespace tavrick

#pragma once
// Names for the threads the bridge starts, so that a debugger, a profiler or `top -H` shows which
// one is busy.

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrick {

/// Longest name every platform keeps whole: Linux keeps 15 bytes (16 with the terminating zero).
inline constexpr std::size_t k_thread_name_limit = 15;

/// Gives the calling thread the name `name`, cut to k_thread_name_limit bytes. A system that
/// cannot name threads leaves it unnamed; that is not an error. Called first in the body of each
/// thread the bridge starts, by that thread.
void name_this_thread(std::string_view name);

/// The calling thread's name as the system holds it; empty when it has none or the system cannot
/// tell. Any thread, for itself.
[[nodiscard]] std::string this_thread_name();

}  // namespace tavrick

#pragma once
// What the tests of thread names may expect on this system.

#include <string>
#include <string_view>

namespace tavrick::test {

/// Whether the system tells a thread its own name back: always on Linux; on Windows only where
/// GetThreadDescription exists (Windows 10 1607 and later, recent Wine). Any thread.
[[nodiscard]] bool thread_names_readable();

/// The name a thread named `name` reads back where names are readable, else the empty text.
[[nodiscard]] std::string expected_thread_name(std::string_view name);

}  // namespace tavrick::test

#pragma once
// Text output of the console program: UTF-8 bytes when a stream is redirected, the wide-character
// console API when it is a Windows console.

#include <string_view>

namespace tavrick {

enum class Stream { out, err };

/// Writes `utf8` to the stream as it is (add "\n" yourself) and flushes it. A failed write, or a
/// process without that stream, is ignored; a closed pipe never ends the process. Any thread;
/// callers that need whole lines serialise themselves (log_line does).
void write_text(Stream stream, std::string_view utf8);

}  // namespace tavrick

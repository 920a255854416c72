// errno → the C library's message.

#include <cerrno>
#include <cstring>
#include <string>

#include "desktop/os_error.h"

namespace tavrick {
namespace {

// strerror_r comes in two flavours (XSI returns int, GNU returns the text); overloading on the
// result lets the one the C library declares pick itself.
[[maybe_unused]] const char* message_of(int result, const char* buffer) {
  return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* message_of(const char* result, const char*) {
  return result != nullptr ? result : "";
}

}  // namespace

std::string os_error_text(int code) {
  char buffer[256] = {};
  return format_os_error(message_of(strerror_r(code, buffer, sizeof buffer), buffer), code);
}

std::string last_os_error_text() { return os_error_text(errno); }

}  // namespace tavrick

// GetLastError() codes → the system's message in the user's language.

#include <windows.h>

#include <string>
#include <utility>

#include "desktop/os_error.h"
#include "desktop/text_convert.h"

namespace tavrick {

std::string os_error_text(int code) {
  wchar_t* buffer = nullptr;
  // The code travels as int; Windows error codes are DWORDs, so the bits are passed back as they
  // are (HRESULT-style codes are negative as int).
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message;
  if (length != 0 && buffer != nullptr) {
    message =
        utf8_from_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), length));
  }
  if (buffer != nullptr) {
    LocalFree(buffer);
  }
  return format_os_error(std::move(message), code);
}

std::string last_os_error_text() { return os_error_text(static_cast<int>(GetLastError())); }

}  // namespace tavrick

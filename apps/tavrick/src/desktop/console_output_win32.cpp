// Standard streams on Windows: a console gets UTF-16 through WriteConsoleW (the console's code
// page would garble Vietnamese letters and box signs), anything else the UTF-8 bytes.

#include <windows.h>

#include <algorithm>
#include <string>

#include "desktop/console_output.h"
#include "desktop/text_convert.h"

namespace tavrick {
namespace {

void write_console(HANDLE handle, std::string_view utf8) {
  const std::u16string wide = utf16_from_utf8(utf8);
  std::u16string_view rest = wide;
  // Old consoles refuse single writes much above 64 KiB; pieces of 8 Ki units stay well below.
  constexpr std::size_t k_piece = 8192;
  while (!rest.empty()) {
    std::size_t count = std::min(rest.size(), k_piece);
    if (count < rest.size() && rest[count - 1] >= 0xD800 && rest[count - 1] <= 0xDBFF) {
      --count;  // keep a surrogate pair in one piece
    }
    DWORD written = 0;
    if (!WriteConsoleW(handle, rest.data(), static_cast<DWORD>(count), &written, nullptr) ||
        written == 0) {
      return;
    }
    rest.remove_prefix(std::min<std::size_t>(written, rest.size()));
  }
}

void write_file(HANDLE handle, std::string_view utf8) {
  constexpr std::size_t k_piece = 1 << 20;
  while (!utf8.empty()) {
    const auto count = static_cast<DWORD>(std::min(utf8.size(), k_piece));
    DWORD written = 0;
    // A pipe whose reader has gone fails with ERROR_NO_DATA: the text is dropped.
    if (!WriteFile(handle, utf8.data(), count, &written, nullptr) || written == 0) {
      return;
    }
    utf8.remove_prefix(std::min<std::size_t>(written, utf8.size()));
  }
}

}  // namespace

void write_text(Stream stream, std::string_view utf8) {
  // Callers may read GetLastError() after logging a failure; writing must not change it.
  const DWORD saved_error = GetLastError();
  const HANDLE handle = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && !utf8.empty()) {
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
      write_console(handle, utf8);
    } else {
      write_file(handle, utf8);
    }
  }
  SetLastError(saved_error);
}

}  // namespace tavrick

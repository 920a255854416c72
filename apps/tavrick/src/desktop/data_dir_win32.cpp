// The data folder on Windows: %LOCALAPPDATA%\Orvalen Sorvic, or the temporary folder's.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "desktop/data_dir.h"
#include "desktop/text_convert.h"

namespace tavrick {
namespace {

/// The value of LOCALAPPDATA (possibly empty), or nothing when it is not set.
std::optional<std::wstring> local_app_data() {
  std::wstring value(MAX_PATH, L'\0');
  while (true) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return std::nullopt;
      }
      return std::wstring();
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    // Too small: the length asked for includes the terminating zero.
    value.resize(length);
  }
}

std::filesystem::path temp_folder() {
  std::wstring value(MAX_PATH + 1, L'\0');
  const DWORD length = GetTempPathW(static_cast<DWORD>(value.size()), value.data());
  if (length == 0 || length > value.size()) {
    return std::filesystem::path(L".");
  }
  value.resize(length);
  return value;
}

}  // namespace

std::filesystem::path data_dir() {
  const std::optional<std::wstring> local = local_app_data();
  std::filesystem::path base = local ? std::filesystem::path(*local) : temp_folder();
  return base / L"Orvalen Sorvic";
}

std::string path_text(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return utf8_from_utf16(
      std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size()));
}

}  // namespace tavrick

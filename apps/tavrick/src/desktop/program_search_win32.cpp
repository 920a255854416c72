// Finding child programs on Windows. CreateProcessW without an application name would also look
// in the current folder before the system folder; the bridge looks programs up itself and starts
// them by their full path.

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/file_system.h"
#include "desktop/os_error.h"
#include "desktop/program_search.h"
#include "desktop/text_convert.h"

namespace tavrick {
namespace {

/// The text that `get` (a call in the style of GetSystemDirectoryW: buffer and size in, the
/// length or the size needed out) gives; empty when it fails.
template <typename Get>
std::wstring system_text(Get get) {
  std::wstring text(MAX_PATH, L'\0');
  while (true) {
    const UINT length = get(text.data(), static_cast<UINT>(text.size()));
    if (length == 0) {
      return {};
    }
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    // Too small: the size asked for includes the terminating zero.
    text.resize(length);
  }
}

std::wstring path_variable() {
  return system_text([](wchar_t* buffer, UINT size) {
    return static_cast<UINT>(GetEnvironmentVariableW(L"PATH", buffer, size));
  });
}

/// The running program's folder, the system folder, the Windows folder, then the absolute folders
/// of PATH (entries may be quoted; empty and relative ones would mean the current folder).
std::vector<std::filesystem::path> search_folders() {
  std::vector<std::filesystem::path> folders;
  if (const auto own = own_program_path()) {
    folders.push_back(own->parent_path());
  }
  for (std::wstring folder :
       {system_text(GetSystemDirectoryW), system_text(GetWindowsDirectoryW)}) {
    if (!folder.empty()) {
      folders.emplace_back(std::move(folder));
    }
  }
  const std::wstring path = path_variable();
  std::wstring_view rest = path;
  while (!rest.empty()) {
    const std::size_t end = rest.find(L';');
    std::wstring entry(rest.substr(0, end));
    rest.remove_prefix(end == std::wstring_view::npos ? rest.size() : end + 1);
    std::erase(entry, L'"');
    std::filesystem::path folder(entry);
    if (folder.is_absolute()) {
      folders.push_back(std::move(folder));
    }
  }
  return folders;
}

}  // namespace

std::expected<std::filesystem::path, std::string> own_program_path() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return std::unexpected(last_os_error_text());
    }
    // A path that filled the buffer may have been cut short.
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::filesystem::path(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string program_file_name(std::string_view name) { return std::string(name) + ".exe"; }

std::expected<std::filesystem::path, std::string> find_program(std::string_view name) {
  const std::u16string wide = utf16_from_utf8(name);
  std::wstring file(wide.begin(), wide.end());
  if (file.find_first_of(L"\\/:") != std::wstring::npos) {
    return std::filesystem::path(file);
  }
  if (!file.empty()) {
    if (file.find(L'.') == std::wstring::npos) {
      file += L".exe";
    }
    for (const std::filesystem::path& folder : search_folders()) {
      std::filesystem::path candidate = folder / file;
      if (is_file(candidate)) {
        return candidate;
      }
    }
  }
  return std::unexpected(os_error_text(ERROR_FILE_NOT_FOUND));
}

}  // namespace tavrick

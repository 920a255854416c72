#include <windows.h>

#include <filesystem>

#include "desktop/os_handle.h"
#include "support/open_file.h"

namespace tavrick::test {

bool file_open_in_this_process(const std::filesystem::path& path) {
  // No sharing at all: any other open handle to the file, whatever it shares, refuses this one.
  const UniqueHandle probe(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (probe.is_open()) {
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace tavrick::test

#include "support/thread_names.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tavrick::test {

bool thread_names_readable() {
#ifdef _WIN32
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  return kernel32 != nullptr && GetProcAddress(kernel32, "GetThreadDescription") != nullptr;
#else
  return true;
#endif
}

std::string expected_thread_name(std::string_view name) {
  return thread_names_readable() ? std::string(name) : std::string();
}

}  // namespace tavrick::test

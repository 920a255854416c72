// Closing a Windows HANDLE.

#include <windows.h>

#include "desktop/os_handle.h"

namespace tavrick {

void HandleTraits::close(Value handle) noexcept { CloseHandle(handle); }

}  // namespace tavrick

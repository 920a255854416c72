// Closing a Linux file descriptor.

#include <unistd.h>

#include "desktop/os_handle.h"

namespace tavrick {

// Not retried on EINTR: Linux has released the descriptor by then, and a second close could hit
// one that another thread has opened meanwhile.
void FdTraits::close(Value fd) noexcept { ::close(fd); }

}  // namespace tavrick

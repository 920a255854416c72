#include <windows.h>

#include "support/pipe_ends.h"

namespace tavrick::test {

PipeEnds make_pipe() {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, nullptr, 0)) {
    return {UniqueHandle(), nullptr};
  }
  return {UniqueHandle(read_end), write_end};
}

bool writer_closed(const UniqueFile& read_end) {
  // Peeking never blocks; it fails with ERROR_BROKEN_PIPE once every writer has closed.
  DWORD available = 0;
  return read_end.is_open() &&
         !PeekNamedPipe(read_end.get(), nullptr, 0, nullptr, &available, nullptr) &&
         GetLastError() == ERROR_BROKEN_PIPE;
}

}  // namespace tavrick::test

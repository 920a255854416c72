#include <fcntl.h>
#include <unistd.h>

#include "support/pipe_ends.h"

namespace tavrick::test {

PipeEnds make_pipe() {
  int ends[2] = {-1, -1};
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    return {UniqueFd(), -1};
  }
  return {UniqueFd(ends[0]), ends[1]};
}

bool writer_closed(const UniqueFile& read_end) {
  // Non-blocking: -1 (EAGAIN) while a writer is open, 0 at the end of the stream.
  char byte = 0;
  return read_end.is_open() && ::read(read_end.get(), &byte, 1) == 0;
}

}  // namespace tavrick::test

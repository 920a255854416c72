#pragma once
// A pipe whose reader tells whether its writing end is still open: for tests of handle owners.

#include "desktop/os_handle.h"

namespace tavrick::test {

/// A new pipe: the reading end owned, the writing end raw for the test to hand to an owner.
/// Reads never block. Nothing is open (get() is none) when the system refused the pipe.
struct PipeEnds {
  UniqueFile read_end;
  UniqueFile::Value write_end;
};
[[nodiscard]] PipeEnds make_pipe();

/// True when no writing end of the pipe is open any more (its reader is at the end of the
/// stream); false while one is, or when `read_end` holds nothing. Nothing may have been written.
[[nodiscard]] bool writer_closed(const UniqueFile& read_end);

}  // namespace tavrick::test

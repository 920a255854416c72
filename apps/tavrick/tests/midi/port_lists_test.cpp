#include "midi/port_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrick {
namespace {

MidiPort port(std::string name, int api) {
  return MidiPort{.name = std::move(name), .interface_path = {}, .api = api};
}

struct MergeCase {
  std::vector<PortList> lists;
  PortList merged;
};

TEST(PortListsTest, WhatOneApiCannotReadLeavesTheOthersListed) {
  const std::unexpected<std::string> stalled("JACK không trả lời");
  const std::unexpected<std::string> broken("no sequencer");
  const MergeCase cases[] = {
      // No API at all: no port, and no error.
      {{}, std::vector<MidiPort>{}},
      // Both read: one API's ports after the other's, each in its own order.
      {{std::vector{port("a", 1), port("b", 1)}, std::vector{port("c", 2)}},
       std::vector{port("a", 1), port("b", 1), port("c", 2)}},
      // One read with no port, one not read: an empty list, not an error.
      {{std::vector<MidiPort>{}, stalled}, std::vector<MidiPort>{}},
      // The API that answers is listed whatever the other one does.
      {{stalled, std::vector{port("c", 2)}}, std::vector{port("c", 2)}},
      {{std::vector{port("a", 1)}, stalled}, std::vector{port("a", 1)}},
      // None read: the error names every reason.
      {{broken, stalled}, std::unexpected<std::string>("no sequencer; JACK không trả lời")},
      {{stalled}, stalled},
  };
  for (const MergeCase& c : cases) {
    EXPECT_EQ(merge_port_lists(c.lists), c.merged);
  }
}

}  // namespace
}  // namespace tavrick

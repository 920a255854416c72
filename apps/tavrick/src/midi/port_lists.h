#pragma once
// Listing over several MIDI APIs at once: what one API cannot tell does not hide the others.

#include <expected>
#include <string>
#include <vector>

#include "midi/midi_port.h"

namespace tavrick {

/// One API's input ports, or the text of why they cannot be read.
using PortList = std::expected<std::vector<MidiPort>, std::string>;

/// The ports of every API that could be read, one API's after the other in the order given. An
/// error only when no API could be read: their texts joined by "; ". No API at all gives an
/// empty list. Pure.
[[nodiscard]] PortList merge_port_lists(std::vector<PortList> lists);

}  // namespace tavrick

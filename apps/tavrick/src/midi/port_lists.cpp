#include "midi/port_lists.h"

#include <iterator>
#include <utility>

namespace tavrick {

PortList merge_port_lists(std::vector<PortList> lists) {
  std::vector<MidiPort> ports;
  std::string errors;
  bool any_read = lists.empty();
  for (PortList& list : lists) {
    if (list) {
      any_read = true;
      ports.insert(ports.end(), std::make_move_iterator(list->begin()),
                   std::make_move_iterator(list->end()));
    } else {
      errors += (errors.empty() ? "" : "; ") + list.error();
    }
  }
  if (!any_read) {
    return std::unexpected(std::move(errors));
  }
  return ports;
}

}  // namespace tavrick

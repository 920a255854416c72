#pragma once
// The open connections by the device interface path of each, so that a notice naming the
// removal of an interface reaches the connections on it.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "midi/loss_signal.h"

namespace tavrick {

/// True when `a` and `b` name the same device interface: Windows compares these paths without
/// regard to the case of ASCII letters, and a path as the driver reports it may end in a NUL.
/// Pure.
[[nodiscard]] bool same_interface_path(std::u16string_view a, std::u16string_view b);

/// Holds each connection's loss signal weakly: a connection that is closed drops out by itself.
/// Any thread (a connection is added on the opener's thread, removals come on the system's).
class OpenPorts {
 public:
  /// A connection on the interface `path` is open.
  void add(std::u16string path, std::weak_ptr<LossSignal> loss);
  /// The interface `path` went away: reports the loss of every open connection on it and
  /// returns how many there were.
  std::size_t removed(std::u16string_view path);

 private:
  std::mutex m_mutex;
  std::vector<std::pair<std::u16string, std::weak_ptr<LossSignal>>> m_ports;  // guarded
};

}  // namespace tavrick

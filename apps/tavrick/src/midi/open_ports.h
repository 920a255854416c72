#pragma once
// The open connections under the key by which the MIDI service's notices name a port (a Windows
// device interface path, a JACK port name, an ALSA sequencer address), so that a notice of a
// port's end reaches the connections on it.

#include <cstddef>
#include <memory>
#include <mutex>
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
/// Any thread (a connection is added on the opener's thread, notices come on the service's).
template <class Key>
class OpenPorts {
 public:
  /// A connection on the port `key` is open.
  void add(Key key, std::weak_ptr<LossSignal> loss) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_ports, [](const auto& port) { return port.second.expired(); });
    m_ports.emplace_back(std::move(key), std::move(loss));
  }

  /// Reports the loss of every open connection whose key satisfies `ended`; how many there were.
  template <class Predicate>
  std::size_t lose_if(Predicate ended) {
    std::vector<std::shared_ptr<LossSignal>> lost;
    {
      std::lock_guard lock(m_mutex);
      for (const auto& [key, loss] : m_ports) {
        if (ended(key)) {
          if (auto signal = loss.lock()) {
            lost.push_back(std::move(signal));
          }
        }
      }
    }
    // Reported outside the lock: reporting wakes the supervisor, which may be opening a port.
    for (const auto& signal : lost) {
      signal->report();
    }
    return lost.size();
  }

 private:
  std::mutex m_mutex;
  std::vector<std::pair<Key, std::weak_ptr<LossSignal>>> m_ports;  // guarded by m_mutex
};

}  // namespace tavrick

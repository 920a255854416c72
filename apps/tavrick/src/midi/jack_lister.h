#pragma once
// The MIDI output ports of the JACK graph (the ports the bridge can listen to), read through a
// client of the bridge's own that follows the server going away and coming back, and that hears
// of every port that comes and goes meanwhile.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavrick {

/// Keeps one JACK client for listing while a server runs. Every call may block inside the JACK
/// library for as long as the server or its shared state does not answer, so only one thread
/// (the MIDI backend's service thread) uses it.
class JackLister {
 public:
  /// Told of every MIDI output port that comes and of every port that goes, on JACK's
  /// notification thread; must return at once. The full name is given for a MIDI output port
  /// that nobody is connected to (one that has just come): a connection from a port of that name
  /// is from an earlier port and gone. Other notices give an empty name.
  using PortNotice = std::function<void(std::string_view port)>;

  /// Connects nothing yet. The client that list() connects hands its notices to `notice`.
  explicit JackLister(PortNotice notice = {});
  /// Closes the client, if any.
  ~JackLister();
  JackLister(const JackLister&) = delete;
  JackLister& operator=(const JackLister&) = delete;

  /// The full names ("client:port") of the graph's MIDI output ports, in the server's order.
  /// Empty while no server runs (the server of JACK_DEFAULT_SERVER; none is ever started), and
  /// once when the server has gone away since the last call, so that the ports of the old server
  /// count as gone before those of a new one are listed.
  [[nodiscard]] std::vector<std::string> list();

  /// How many times list() has found the server gone: what was made on the server before is
  /// dead.
  [[nodiscard]] std::uint64_t servers_lost() const { return m_servers_lost; }

 private:
  struct Client;
  PortNotice m_notice;
  std::unique_ptr<Client> m_client;  // present while connected to a server
  std::uint64_t m_servers_lost = 0;
};

}  // namespace tavrick

#pragma once
// The ALSA sequencer's announcements of clients and ports that come and go, for the Linux MIDI
// backend: a sender that goes and comes back under the same name (and often the same number)
// lists as before, so only its announcements show that a connection from it is gone.

#include <functional>
#include <optional>
#include <string_view>

namespace tavrick {

/// A sequencer port: client and port number.
struct AlsaAddress {
  int client = 0;
  int port = 0;
  friend bool operator==(const AlsaAddress&, const AlsaAddress&) = default;
};

/// The address at the end of an ALSA port's name as RtMidi lists it ("Client:Port 128:0").
/// Pure.
[[nodiscard]] std::optional<AlsaAddress> alsa_address_of(std::string_view port_name);

/// One announcement of the sequencer's system port.
struct AlsaAnnouncement {
  enum class Kind { client_start, client_exit, client_change, port_start, port_exit, port_change };
  Kind kind;
  AlsaAddress address;  ///< for a client's announcement only the client counts

  /// True when a connection from `source` cannot outlive this announcement: its port or its
  /// client went away. Pure.
  [[nodiscard]] bool ends(AlsaAddress source) const;
};

/// The announcement of a sequencer event of `type` (SND_SEQ_EVENT_…) about `address`; nothing
/// for events that announce no client or port. Pure.
[[nodiscard]] std::optional<AlsaAnnouncement> alsa_announcement_of(int type, AlsaAddress address);

/// Hands every announcement to `handler`, on a thread of its own, for the rest of the process.
/// False when the sequencer cannot be opened or followed (no announcement will come). Main
/// thread, once.
bool follow_alsa_announcements(std::function<void(const AlsaAnnouncement&)> handler);

}  // namespace tavrick

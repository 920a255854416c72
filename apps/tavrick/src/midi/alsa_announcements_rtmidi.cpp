// A client of the bridge's own, subscribed to the sequencer's announce port, reads the
// announcements on a thread that lives as long as the process.

#include <alsa/asoundlib.h>

#include <cerrno>
#include <charconv>
#include <utility>

#include "desktop/detached_thread.h"
#include "desktop/thread_name.h"
#include "midi/alsa_announcements.h"

namespace tavrick {

namespace {

std::optional<int> number_of(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<AlsaAddress> alsa_address_of(std::string_view port_name) {
  const std::size_t space = port_name.rfind(' ');
  if (space == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view address = port_name.substr(space + 1);
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) {
    return std::nullopt;
  }
  const auto client = number_of(address.substr(0, colon));
  const auto port = number_of(address.substr(colon + 1));
  if (!client || !port) {
    return std::nullopt;
  }
  return AlsaAddress{*client, *port};
}

bool AlsaAnnouncement::ends(AlsaAddress source) const {
  switch (kind) {
    case Kind::client_exit:
      return address.client == source.client;
    case Kind::port_exit:
      return address == source;
    default:
      return false;
  }
}

std::optional<AlsaAnnouncement> alsa_announcement_of(int type, AlsaAddress address) {
  using Kind = AlsaAnnouncement::Kind;
  switch (type) {
    case SND_SEQ_EVENT_CLIENT_START:
      return AlsaAnnouncement{Kind::client_start, address};
    case SND_SEQ_EVENT_CLIENT_EXIT:
      return AlsaAnnouncement{Kind::client_exit, address};
    case SND_SEQ_EVENT_CLIENT_CHANGE:
      return AlsaAnnouncement{Kind::client_change, address};
    case SND_SEQ_EVENT_PORT_START:
      return AlsaAnnouncement{Kind::port_start, address};
    case SND_SEQ_EVENT_PORT_EXIT:
      return AlsaAnnouncement{Kind::port_exit, address};
    case SND_SEQ_EVENT_PORT_CHANGE:
      return AlsaAnnouncement{Kind::port_change, address};
    default:
      return std::nullopt;
  }
}

bool follow_alsa_announcements(std::function<void(const AlsaAnnouncement&)> handler) {
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, 0) < 0) {
    return false;
  }
  (void)snd_seq_set_client_name(seq, "tavrick");
  // Not for other programs to connect to: it only listens to the system.
  const int port = snd_seq_create_simple_port(seq, "announcements",
                                              SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                              SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0 ||
      snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
    snd_seq_close(seq);
    return false;
  }
  // Never joined: the thread waits for announcements as long as the process runs.
  start_detached([seq, handler = std::move(handler)] {
    name_this_thread("alsa announce");
    while (true) {
      snd_seq_event_t* event = nullptr;
      const int read = snd_seq_event_input(seq, &event);
      if (read == -ENOSPC) {
        // Announcements were lost while the queue was full: a change, of what is unknown.
        handler(AlsaAnnouncement{AlsaAnnouncement::Kind::client_change, {-1, -1}});
        continue;
      }
      if (read < 0 && read != -EAGAIN && read != -EINTR) {
        return;  // the sequencer is gone: the lists show what is left
      }
      if (event == nullptr) {
        continue;
      }
      const AlsaAddress address{event->data.addr.client, event->data.addr.port};
      if (const auto announcement = alsa_announcement_of(event->type, address)) {
        handler(*announcement);
      }
    }
  });
  return true;
}

}  // namespace tavrick

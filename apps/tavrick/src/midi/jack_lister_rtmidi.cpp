// Listing through the JACK API itself: RtMidi's JACK client is made once and never notices that
// its server went away, so a restarted server would stay unseen. The client is activated only to
// hear of ports registered and unregistered: JACK tells active clients alone.

#include <jack/jack.h>

#include <atomic>
#include <cstring>
#include <utility>

#include "midi/jack_lister.h"

namespace tavrick {

namespace {

constexpr const char* k_client_name = "tavrick";

}  // namespace

struct JackLister::Client {
  jack_client_t* handle = nullptr;
  // Set by JACK's own thread when the server shuts the client down or dies.
  std::atomic<bool> gone{false};
  const PortNotice* notice = nullptr;  // the lister's, which outlives the client

  Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (handle != nullptr) {
      jack_client_close(handle);
    }
  }

  static void on_shutdown(void* data) { static_cast<Client*>(data)->gone.store(true); }

  /// JACK's notification thread, for every port of an active client that comes or goes.
  static void on_port_registration(jack_port_id_t id, int registered, void* data) {
    const auto* client = static_cast<Client*>(data);
    const jack_port_t* port = jack_port_by_id(client->handle, id);
    const char* type = port == nullptr ? nullptr : jack_port_type(port);
    const bool midi_output = type != nullptr && std::strcmp(type, JACK_DEFAULT_MIDI_TYPE) == 0 &&
                             (jack_port_flags(port) & JackPortIsOutput) != 0;
    // A port with a connection may be the very one a connection was made to before this notice
    // came: only a port that nobody listens to is named. A port that went is usually released
    // before the notice and tells neither its name nor its kind any more: it may have been a
    // sender.
    if (midi_output) {
      (*client->notice)(jack_port_connected(port) == 0 ? jack_port_name(port) : "");
    } else if (registered == 0) {
      (*client->notice)({});
    }
  }
};

JackLister::JackLister(PortNotice notice) : m_notice(std::move(notice)) {}
JackLister::~JackLister() = default;

std::vector<std::string> JackLister::list() {
  if (m_client && m_client->gone.load()) {
    m_client.reset();
    ++m_servers_lost;
    return {};
  }
  if (!m_client) {
    auto client = std::make_unique<Client>();
    // A server is never started for the bridge; without one there are no JACK ports.
    client->handle = jack_client_open(k_client_name, JackNoStartServer, nullptr);
    if (client->handle == nullptr) {
      return {};
    }
    jack_on_shutdown(client->handle, &Client::on_shutdown, client.get());
    if (m_notice) {
      client->notice = &m_notice;
      // Without the notices the list still works: they only bring the next pass forward.
      if (jack_set_port_registration_callback(client->handle, &Client::on_port_registration,
                                              client.get()) == 0) {
        (void)jack_activate(client->handle);
      }
    }
    m_client = std::move(client);
  }
  std::vector<std::string> names;
  const char** ports =
      jack_get_ports(m_client->handle, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
  for (std::size_t i = 0; ports != nullptr && ports[i] != nullptr; ++i) {
    names.emplace_back(ports[i]);
  }
  jack_free(static_cast<void*>(ports));
  return names;
}

}  // namespace tavrick

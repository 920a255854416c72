// Listing through the JACK API itself: RtMidi's JACK client is made once and never notices that
// its server went away, so a restarted server would stay unseen.

#include <jack/jack.h>

#include <atomic>

#include "midi/jack_lister.h"

namespace tavrick {

namespace {

constexpr const char* k_client_name = "tavrick";

}  // namespace

struct JackLister::Client {
  jack_client_t* handle = nullptr;
  // Set by JACK's own thread when the server shuts the client down or dies.
  std::atomic<bool> gone{false};

  Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (handle != nullptr) {
      jack_client_close(handle);
    }
  }

  static void on_shutdown(void* data) { static_cast<Client*>(data)->gone.store(true); }
};

JackLister::JackLister() = default;
JackLister::~JackLister() = default;

std::vector<std::string> JackLister::list() {
  if (m_client && m_client->gone.load()) {
    m_client.reset();
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

#include "app_peer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "link/socket.h"

namespace bench {

namespace {

/// How long a waiting thread goes without looking for a fault to play or the end. Bytes from the
/// bridge end a wait at once; only the faults and the end wait up to this.
constexpr std::int64_t k_tick_ns = 10'000'000;

std::chrono::milliseconds wait_for(std::int64_t ns) {
  return std::chrono::milliseconds(std::max<std::int64_t>(0, (ns + 999'999) / 1'000'000));
}

/// One connection, served by a thread of its own.
struct Client {
  tavrick::Socket socket;
  std::uint32_t epoch = 0;
  std::atomic<bool> close_requested{false};  ///< half a line, then the end (a fault)
  std::atomic<bool> done{false};             ///< the thread has closed the socket
  std::thread thread;                        ///< joined by the accepting thread or the end

  // The client's thread alone.
  std::string in;
  std::string out;
  std::deque<std::pair<std::int64_t, std::string>> later;  // (due, bytes), in due order
};

std::string_view request_id(std::string_view line) {
  const auto at = line.find("\"id\":");
  if (at == std::string_view::npos) {
    return "0";
  }
  const auto digits = line.substr(at + 5);
  return digits.substr(0, digits.find_first_not_of("0123456789"));
}

LineKind kind_of(std::string_view line) {
  if (line.find("\"develop.adjust\"") != std::string_view::npos) {
    return LineKind::adjust;
  }
  if (line.find("\"develop.beginInteraction\"") != std::string_view::npos) {
    return LineKind::begin;
  }
  if (line.find("\"develop.endInteraction\"") != std::string_view::npos) {
    return LineKind::end;
  }
  if (line.find("\"ui.inspect\"") != std::string_view::npos) {
    return LineKind::inspect;
  }
  return LineKind::other;
}

double delta_of(std::string_view line) {
  const auto at = line.find("\"delta\":");
  if (at == std::string_view::npos) {
    return 0;
  }
  return std::strtod(std::string(line.substr(at + 8, 32)).c_str(), nullptr);
}

std::string answer(std::string_view line, LineKind kind) {
  std::string text = "{\"id\":";
  text += request_id(line);
  if (kind == LineKind::inspect) {
    text +=
        ",\"ok\":true,\"result\":{\"active\":1,\"ui\":{\"right\":\"edit\",\"thumbSize\":220.0,"
        "\"tool\":\"\",\"view\":\"detail\"}}}\n";
  } else {
    text += ",\"ok\":true,\"result\":{}}\n";
  }
  return text;
}

// Malformed and awkward lines, one per request in turn; most also carry the proper answer.
void garbage(Client& client, std::string_view line, LineKind kind, std::uint64_t counter,
             std::int64_t now) {
  const std::string reply = answer(line, kind);
  switch (counter % 10) {
    case 0:
      client.out += "this is not JSON\n" + reply;
      break;
    case 1:  // half a line now, the rest 20 ms later
      client.out += reply.substr(0, reply.size() / 2);
      client.later.emplace_back(now + 20'000'000, reply.substr(reply.size() / 2));
      break;
    case 2:
      client.out +=
          "{\"id\":\"\xff\xfe\xc0\xaf\",\"ok\":false,\"error\":\"\xed\xa0\x80\"}\n" + reply;
      break;
    case 3:
      client.out += std::string(5000, '[') + "\n" + reply;
      break;
    case 4:
      client.out += "{\"junk\":\"" + std::string(200'000, 'x') + "\"}\n" + reply;
      break;
    case 5:
      client.out += "{\"id\":1,\"ok\":false}{\"id\":2}\n" + reply;
      break;
    case 6:
      client.out += "{\"id\":1e400,\"ok\":false,\"error\":[1,{\"a\":null}]}\n" + reply;
      break;
    case 7:
      client.out += "\r\n\n\n" + reply.substr(0, reply.size() - 1) + "\r\n";
      break;
    case 8:
      client.out += std::string("\0\0{\0}\n", 6) + reply;
      break;
    default:
      client.out += "{\"id\":-3,\"ok\":false,\"error\":\"garbage peer\"}\n" + reply;
      break;
  }
}

}  // namespace

struct AppPeer::State {
  std::uint16_t port = 0;
  std::atomic<bool> stopping{false};
  std::thread accept_thread;

  mutable std::mutex mutex;  // guards the fields below
  ReplyMode mode = ReplyMode::prompt;
  std::int64_t delay_ns = 0;
  std::int64_t restart_down_ms = -1;  // a restart to do, or -1
  std::int64_t stall_until = 0;
  std::uint64_t counter = 0;  // the garbage mode's next kind of line
  std::vector<PeerLine> lines;
  std::vector<Epoch> epochs;
  std::vector<std::shared_ptr<Client>> clients;  // every one whose thread is not joined

  std::atomic<std::size_t> line_count{0};
  std::atomic<std::size_t> adjust_count{0};
  std::atomic<std::size_t> open_count{0};

  // The accepting thread alone, once it runs.
  tavrick::Listener listener;
  bool listening = false;

  void accept_clients();
  void join_finished_clients();
  void request_close_all();
  void serve(Client& client);
  bool read_client(Client& client);
  void take_lines(Client& client, std::int64_t at, std::vector<PeerLine>& arrived);
  bool send_due(Client& client, std::int64_t now);
  void close_client(Client& client, bool by_peer);
};

void AppPeer::State::accept_clients() {
  while (!stopping.load()) {
    std::int64_t down_ms;
    {
      std::lock_guard lock(mutex);
      down_ms = std::exchange(restart_down_ms, -1);
    }
    if (down_ms >= 0) {
      // First no one can connect any more, then every connection ends after half a reply line.
      listener.close();
      listening = false;
      request_close_all();
      const std::int64_t listen_at = now_ns() + down_ms * 1'000'000;
      while (!stopping.load() && now_ns() < listen_at) {
        sleep_ms(std::min<std::int64_t>(10, (listen_at - now_ns()) / 1'000'000 + 1));
      }
    }
    if (!listening) {
      auto opened = tavrick::Listener::open(port);
      if (!opened) {
        sleep_ms(10);  // the system may hold the port for a moment
        continue;
      }
      listener = std::move(*opened);
      listening = true;
    }
    auto accepted = listener.accept(wait_for(k_tick_ns));
    join_finished_clients();
    if (!accepted || !accepted->has_value()) {
      continue;
    }
    auto client = std::make_shared<Client>();
    client->socket = std::move(**accepted);
    (void)client->socket.set_no_delay();
    {
      std::lock_guard lock(mutex);
      epochs.push_back({now_ns(), 0, false});
      client->epoch = static_cast<std::uint32_t>(epochs.size());
    }
    open_count.fetch_add(1);
    client->thread = std::thread([this, client] { serve(*client); });
    std::lock_guard lock(mutex);
    clients.push_back(std::move(client));
  }
  listener.close();
}

void AppPeer::State::join_finished_clients() {
  std::vector<std::shared_ptr<Client>> finished;
  {
    std::lock_guard lock(mutex);
    const auto split = std::stable_partition(clients.begin(), clients.end(),
                                             [](const auto& c) { return !c->done.load(); });
    finished.assign(split, clients.end());
    clients.erase(split, clients.end());
  }
  for (const auto& client : finished) {
    client->thread.join();
  }
}

void AppPeer::State::request_close_all() {
  std::lock_guard lock(mutex);
  for (const auto& client : clients) {
    client->close_requested.store(true);
  }
}

void AppPeer::State::close_client(Client& client, bool by_peer) {
  client.socket.close();
  open_count.fetch_sub(1);
  {
    std::lock_guard lock(mutex);
    epochs[client.epoch - 1].closed_ns = now_ns();
    epochs[client.epoch - 1].closed_by_peer = by_peer;
  }
  client.done.store(true);
}

void AppPeer::State::take_lines(Client& client, std::int64_t at, std::vector<PeerLine>& arrived) {
  std::lock_guard lock(mutex);
  std::size_t start = 0;
  for (std::size_t end; (end = client.in.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string_view line(client.in.data() + start, end - start);
    const LineKind kind = kind_of(line);
    arrived.push_back({at, client.epoch, kind, kind == LineKind::adjust ? delta_of(line) : 0.0});
    switch (mode) {
      case ReplyMode::prompt:
        client.out += answer(line, kind);
        break;
      case ReplyMode::late:
        client.later.emplace_back(at + delay_ns, answer(line, kind));
        break;
      case ReplyMode::refuse:
        client.out += "{\"error\":\"refused by the soak peer\",\"id\":";
        client.out += request_id(line);
        client.out += ",\"ok\":false}\n";
        break;
      case ReplyMode::garbage:
        garbage(client, line, kind, counter++, at);
        break;
      case ReplyMode::silent:
        break;
    }
  }
  client.in.erase(0, start);
}

bool AppPeer::State::read_client(Client& client) {
  std::array<char, 65536> buffer;
  const auto got = client.socket.read(buffer);
  // A line arrived when the read that completed it returned, not when the wait ended: more
  // bytes may have come in between.
  const std::int64_t at = now_ns();
  if (!got || *got == 0) {
    return false;  // the bridge went away, after the lines read so far
  }
  client.in.append(buffer.data(), *got);
  std::vector<PeerLine> arrived;
  take_lines(client, at, arrived);
  if (!arrived.empty()) {
    const auto adjusts = static_cast<std::size_t>(
        std::count_if(arrived.begin(), arrived.end(),
                      [](const PeerLine& l) { return l.kind == LineKind::adjust; }));
    {
      std::lock_guard lock(mutex);
      lines.insert(lines.end(), arrived.begin(), arrived.end());
    }
    adjust_count.fetch_add(adjusts);
    line_count.fetch_add(arrived.size());
  }
  return true;
}

bool AppPeer::State::send_due(Client& client, std::int64_t now) {
  while (!client.later.empty() && client.later.front().first <= now) {
    client.out += client.later.front().second;
    client.later.pop_front();
  }
  if (client.out.empty()) {
    return true;
  }
  // Blocks while the bridge's receive buffer is full; its reader thread drains it.
  const bool sent = client.socket.write_all(client.out).has_value();
  client.out.clear();
  return sent;
}

void AppPeer::State::serve(Client& client) {
  for (;;) {
    std::int64_t now = now_ns();
    if (stopping.load()) {
      close_client(client, true);
      return;
    }
    if (client.close_requested.load()) {
      // What the bridge wrote before the close still counts as received; then half of an
      // answer and the end: the bridge's reader sees a line cut short.
      for (;;) {
        const auto ready = client.socket.wait_readable(std::chrono::milliseconds(0));
        if (!ready || !*ready) {
          break;
        }
        if (!read_client(client)) {
          close_client(client, false);
          return;
        }
      }
      (void)client.socket.write_all("{\"id\":1,\"ok\":tr");
      close_client(client, true);
      return;
    }
    if (!send_due(client, now)) {
      close_client(client, false);
      return;
    }
    std::int64_t stalled_until;
    {
      std::lock_guard lock(mutex);
      stalled_until = stall_until;
    }
    std::int64_t wake_at = now + k_tick_ns;
    if (!client.later.empty()) {
      wake_at = std::min(wake_at, client.later.front().first);
    }
    if (now < stalled_until) {
      // Not reading: the bridge's requests pile up in the buffers; answers due still go out.
      sleep_ms(std::max<std::int64_t>(1, (std::min(wake_at, stalled_until) - now) / 1'000'000));
      continue;
    }
    const auto ready = client.socket.wait_readable(wait_for(wake_at - now));
    if (!ready || (*ready && !read_client(client))) {
      close_client(client, false);
      return;
    }
  }
}

std::unique_ptr<AppPeer> AppPeer::start(std::uint16_t port) {
  auto listener = tavrick::Listener::open(port);
  if (!listener) {
    return nullptr;
  }
  std::unique_ptr<AppPeer> peer(new AppPeer());
  peer->m_state = std::make_unique<State>();
  State& state = *peer->m_state;
  state.port = listener->port();
  state.listener = std::move(*listener);
  state.listening = true;
  state.accept_thread = std::thread([&state] { state.accept_clients(); });
  return peer;
}

AppPeer::~AppPeer() {
  State& state = *m_state;
  state.stopping.store(true);
  state.accept_thread.join();
  std::vector<std::shared_ptr<Client>> clients;
  {
    std::lock_guard lock(state.mutex);
    clients = std::move(state.clients);
  }
  for (const auto& client : clients) {
    client->thread.join();
  }
}

std::uint16_t AppPeer::port() const { return m_state->port; }

void AppPeer::set_reply_mode(ReplyMode mode, std::int64_t delay_ms) {
  std::lock_guard lock(m_state->mutex);
  m_state->mode = mode;
  m_state->delay_ns = delay_ms * 1'000'000;
}

void AppPeer::restart(std::int64_t down_ms) {
  std::lock_guard lock(m_state->mutex);
  m_state->restart_down_ms = down_ms;
}

void AppPeer::close_mid_line() { m_state->request_close_all(); }

void AppPeer::stall(std::int64_t ms) {
  std::lock_guard lock(m_state->mutex);
  m_state->stall_until = now_ns() + ms * 1'000'000;
}

std::size_t AppPeer::line_count() const { return m_state->line_count.load(); }
std::size_t AppPeer::adjust_count() const { return m_state->adjust_count.load(); }
std::size_t AppPeer::open_connections() const { return m_state->open_count.load(); }

std::vector<PeerLine> AppPeer::lines() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->lines;
}

std::vector<Epoch> AppPeer::epochs() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->epochs;
}

}  // namespace bench

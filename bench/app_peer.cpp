#include "app_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "bench_util.h"

namespace bench {

namespace {

struct Client {
  int fd = -1;
  std::uint32_t epoch = 0;
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
  int wake = -1;
  std::thread thread;
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;  // guards the fields below
  ReplyMode mode = ReplyMode::prompt;
  std::int64_t delay_ns = 0;
  std::int64_t restart_down_ms = -1;  // a restart to do, or -1
  bool close_requested = false;
  std::int64_t stall_until = 0;
  std::vector<PeerLine> lines;
  std::vector<Epoch> epochs;

  std::atomic<std::size_t> line_count{0};
  std::atomic<std::size_t> adjust_count{0};
  std::atomic<std::size_t> open_count{0};

  // Owned by the serving thread.
  int listener = -1;
  std::int64_t listen_again_at = 0;
  std::vector<Client> clients;
  std::uint64_t counter = 0;

  bool listen_now();
  void serve();
  void close_client(Client& client, bool by_peer, std::int64_t now);
  void read_client(Client& client, std::int64_t now);
  void take_lines(Client& client, std::int64_t at, std::vector<PeerLine>& arrived);
  void poke() const {
    const std::uint64_t one = 1;
    (void)!::write(wake, &one, sizeof one);
  }
};

bool AppPeer::State::listen_now() {
  listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener);
    listener = -1;
    return false;
  }
  port = ntohs(address.sin_port);
  return true;
}

void AppPeer::State::close_client(Client& client, bool by_peer, std::int64_t now) {
  ::close(client.fd);
  client.fd = -1;
  open_count.fetch_sub(1);
  std::lock_guard lock(mutex);
  epochs[client.epoch - 1].closed_ns = now;
  epochs[client.epoch - 1].closed_by_peer = by_peer;
}

void AppPeer::State::take_lines(Client& client, std::int64_t at, std::vector<PeerLine>& arrived) {
  ReplyMode current_mode;
  std::int64_t delay;
  {
    std::lock_guard lock(mutex);
    current_mode = mode;
    delay = delay_ns;
  }
  std::size_t start = 0;
  for (std::size_t end; (end = client.in.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string_view line(client.in.data() + start, end - start);
    const LineKind kind = kind_of(line);
    arrived.push_back({at, client.epoch, kind, kind == LineKind::adjust ? delta_of(line) : 0.0});
    switch (current_mode) {
      case ReplyMode::prompt:
        client.out += answer(line, kind);
        break;
      case ReplyMode::late:
        client.later.emplace_back(at + delay, answer(line, kind));
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

void AppPeer::State::read_client(Client& client, std::int64_t now) {
  char buffer[65536];
  bool ended = false;
  std::vector<PeerLine> arrived;
  for (;;) {
    const ssize_t got = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (got > 0) {
      // A line arrived when the read that completed it returned, not when poll woke up: more
      // bytes may have come in between.
      const std::int64_t at = now_ns();
      client.in.append(buffer, static_cast<std::size_t>(got));
      take_lines(client, at, arrived);
      continue;
    }
    // End of stream or an error: the bridge went away, after the lines read so far.
    ended = !(got < 0 && (errno == EAGAIN || errno == EINTR));
    break;
  }
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
  if (ended) {
    close_client(client, false, now);
  }
}

void AppPeer::State::serve() {
  std::vector<pollfd> fds;
  while (!stopping.load()) {
    std::int64_t now = now_ns();
    std::int64_t down_ms;
    bool close_all;
    std::int64_t stalled_until;
    {
      std::lock_guard lock(mutex);
      down_ms = std::exchange(restart_down_ms, -1);
      close_all = std::exchange(close_requested, false) || down_ms >= 0;
      stalled_until = stall_until;
    }
    if (close_all) {
      for (auto& client : clients) {
        // What the bridge wrote before the close still counts as received; then half of an
        // answer and the end: the bridge's reader sees a line cut short.
        read_client(client, now);
        if (client.fd < 0) {
          continue;
        }
        const std::string half = "{\"id\":1,\"ok\":tr";
        (void)!::send(client.fd, half.data(), half.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        close_client(client, true, now);
      }
    }
    if (down_ms >= 0 && listener >= 0) {
      ::close(listener);
      listener = -1;
      listen_again_at = now + down_ms * 1'000'000;
    }
    if (listener < 0 && now >= listen_again_at && !listen_now()) {
      listen_again_at = now + 10'000'000;
    }
    std::erase_if(clients, [](const Client& c) { return c.fd < 0; });

    std::int64_t wake_at = now + 100'000'000;
    fds.clear();
    fds.push_back({wake, POLLIN, 0});
    fds.push_back({listener, POLLIN, 0});  // a negative descriptor is skipped by poll
    const bool stalled = now < stalled_until;
    if (stalled) {
      wake_at = std::min(wake_at, stalled_until);
    }
    if (listener < 0) {
      wake_at = std::min(wake_at, listen_again_at);
    }
    for (auto& client : clients) {
      short events = stalled ? 0 : POLLIN;
      if (!client.out.empty()) {
        events |= POLLOUT;
      }
      if (!client.later.empty()) {
        wake_at = std::min(wake_at, client.later.front().first);
      }
      fds.push_back({client.fd, events, 0});
    }
    const auto timeout_ms =
        static_cast<int>(std::max<std::int64_t>(0, (wake_at - now + 999'999) / 1'000'000));
    ::poll(fds.data(), fds.size(), timeout_ms);
    now = now_ns();

    if (fds[0].revents & POLLIN) {
      std::uint64_t ignored;
      (void)!::read(wake, &ignored, sizeof ignored);
    }
    if (listener >= 0 && (fds[1].revents & POLLIN)) {
      for (int fd;
           (fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
        const int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        Client client;
        client.fd = fd;
        {
          std::lock_guard lock(mutex);
          epochs.push_back({now, 0, false});
          client.epoch = static_cast<std::uint32_t>(epochs.size());
        }
        open_count.fetch_add(1);
        clients.push_back(std::move(client));
      }
    }
    for (std::size_t i = 0; i < clients.size() && i + 2 < fds.size(); ++i) {
      Client& client = clients[i];
      if (!stalled && (fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR))) {
        read_client(client, now);
      }
    }
    for (auto& client : clients) {
      while (client.fd >= 0 && !client.later.empty() && client.later.front().first <= now) {
        client.out += client.later.front().second;
        client.later.pop_front();
      }
      if (client.fd < 0 || client.out.empty()) {
        continue;
      }
      const ssize_t sent =
          ::send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent > 0) {
        client.out.erase(0, static_cast<std::size_t>(sent));
      } else if (sent < 0 && errno != EAGAIN && errno != EINTR) {
        close_client(client, false, now);
      }
    }
  }
  for (auto& client : clients) {
    if (client.fd >= 0) {
      close_client(client, true, now_ns());
    }
  }
  if (listener >= 0) {
    ::close(listener);
  }
}

std::unique_ptr<AppPeer> AppPeer::start(std::uint16_t port) {
  std::unique_ptr<AppPeer> peer(new AppPeer());
  peer->m_state = std::make_unique<State>();
  State& state = *peer->m_state;
  state.port = port;
  state.wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (state.wake < 0 || !state.listen_now()) {
    return nullptr;
  }
  state.thread = std::thread([&state] { state.serve(); });
  return peer;
}

AppPeer::~AppPeer() {
  m_state->stopping.store(true);
  m_state->poke();
  m_state->thread.join();
  ::close(m_state->wake);
}

std::uint16_t AppPeer::port() const { return m_state->port; }

void AppPeer::set_reply_mode(ReplyMode mode, std::int64_t delay_ms) {
  std::lock_guard lock(m_state->mutex);
  m_state->mode = mode;
  m_state->delay_ns = delay_ms * 1'000'000;
}

void AppPeer::restart(std::int64_t down_ms) {
  {
    std::lock_guard lock(m_state->mutex);
    m_state->restart_down_ms = down_ms;
  }
  m_state->poke();
}

void AppPeer::close_mid_line() {
  {
    std::lock_guard lock(m_state->mutex);
    m_state->close_requested = true;
  }
  m_state->poke();
}

void AppPeer::stall(std::int64_t ms) {
  {
    std::lock_guard lock(m_state->mutex);
    m_state->stall_until = now_ns() + ms * 1'000'000;
  }
  m_state->poke();
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

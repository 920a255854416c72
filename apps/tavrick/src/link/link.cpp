#include "link/link.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "desktop/clock.h"
#include "desktop/detached_thread.h"
#include "desktop/log.h"
#include "desktop/thread_name.h"
#include "link/reply_slot.h"
#include "link/socket.h"
#include "link/wire.h"

namespace tavrick {

namespace {

using namespace std::chrono_literals;

constexpr auto k_connect_limit = 500ms;
constexpr auto k_warning_interval = 10s;
constexpr auto k_execute_timeout = 1s;
constexpr std::size_t k_read_buffer_size = 8192;

/// A connection on which this many requests wait for a reply is taken as hung and replaced at
/// the next request. Timed-out calls keep their entries (a late reply must still be dropped
/// silently), so without this bound a peer that accepts requests and never answers would make
/// the table grow for as long as the connection lasts; at the poller's pace the bound is
/// reached after more than two hours. Only the current connection's entries count: those of a
/// replaced one stay until its reader ends, which on Windows, where shutting a socket down does
/// not wake a blocked read, may take until the peer closes it.
constexpr std::size_t k_max_unanswered = 4096;

/// The reply channels of the requests that wait for a reply, by connection number and request
/// id. Shared by the Link and its reader threads; freed when the last of them lets go.
struct PendingTable {
  using Waiting = std::unordered_map<std::uint64_t, std::shared_ptr<ReplySlot>>;
  std::mutex lock;
  std::unordered_map<std::uint64_t, Waiting> by_connection;  // guarded by lock
};

struct Connection {
  std::shared_ptr<Socket> socket;  ///< shared with the reader thread, which reads from it
  std::shared_ptr<std::atomic<bool>> alive;
  std::uint64_t number;
};

/// One reply line read on connection `connection`: handed to its waiter, or logged when it is a
/// refusal nobody waits for.
void handle_reply_line(PendingTable& pending, std::uint64_t connection, std::string_view line) {
  std::optional<Json> reply = parse_json(line);
  if (!reply) {
    return;
  }
  if (const auto id = reply_id(*reply)) {
    std::shared_ptr<ReplySlot> slot;
    {
      std::lock_guard lock(pending.lock);
      if (const auto waiting = pending.by_connection.find(connection);
          waiting != pending.by_connection.end()) {
        if (const auto entry = waiting->second.find(*id); entry != waiting->second.end()) {
          slot = std::move(entry->second);
          waiting->second.erase(entry);
        }
      }
    }
    if (slot) {
      // A caller that gave up no longer receives; its late reply is dropped unjudged.
      slot->put(std::move(*reply));
      return;
    }
  }
  if (is_refusal(*reply)) {
    log_line(refusal_message(*reply));
  }
}

/// Body of the reader thread of one connection: hands replies to waiters until the peer closes
/// the connection, a read fails or the writer shuts the socket down.
void read_replies(std::shared_ptr<Socket> socket, std::shared_ptr<PendingTable> pending,
                  std::shared_ptr<std::atomic<bool>> alive, std::uint64_t connection) {
  name_this_thread("link reader");
  std::array<char, k_read_buffer_size> buffer{};
  LineSplitter splitter;
  const auto on_line = [&pending, connection](std::string_view line) {
    handle_reply_line(*pending, connection, line);
  };
  for (;;) {
    const auto got = socket->read(buffer);
    if (!got || *got == 0) {
      break;
    }
    splitter.feed(std::string_view(buffer.data(), *got), on_line);
  }
  splitter.finish(on_line);
  // The connection is marked dead before its entries go, so that whoever sees them gone also
  // finds the next request reconnecting.
  alive->store(false);
  // No reply can come for the requests written on this connection any more. Their callers are
  // not woken and run into their time-outs; forgetting the entries now keeps the table small.
  {
    std::lock_guard lock(pending->lock);
    pending->by_connection.erase(connection);
  }
  pending.reset();
  socket.reset();
}

}  // namespace

struct Link::State {
  State(std::uint16_t port_, const Clock& clock_) : port(port_), clock(&clock_) {}

  const std::uint16_t port;
  const Clock* const clock;
  const std::shared_ptr<PendingTable> pending = std::make_shared<PendingTable>();

  std::mutex connection_lock;
  std::optional<Connection> connection;  // guarded by connection_lock
  std::uint64_t connections_made = 0;    // guarded by connection_lock

  std::mutex next_id_lock;
  std::uint64_t next_id = 1;  // guarded by next_id_lock

  std::mutex last_warning_lock;
  std::optional<Instant> last_warning;  // guarded by last_warning_lock
};

std::shared_ptr<Link> Link::create(std::uint16_t port) { return create(port, steady_clock()); }

std::shared_ptr<Link> Link::create(std::uint16_t port, const Clock& clock) {
  return std::shared_ptr<Link>(new Link(port, clock));
}

Link::Link(std::uint16_t port, const Clock& clock)
    : m_state(std::make_unique<State>(port, clock)) {}

Link::~Link() {
  std::lock_guard lock(m_state->connection_lock);
  if (m_state->connection) {
    m_state->connection->socket->shutdown();
  }
}

std::uint16_t Link::port() const { return m_state->port; }

void Link::connect_locked() {
  State& state = *m_state;
  std::optional<Connection> fresh;
  auto socket = Socket::connect_loopback(state.port, k_connect_limit);
  if (!socket) {
    const Instant now = state.clock->now();
    std::lock_guard lock(state.last_warning_lock);
    if (!state.last_warning || now - *state.last_warning > k_warning_interval) {
      state.last_warning = now;
      log_line("… chưa nối được Orvalen Sorvic ở cổng " + std::to_string(state.port) +
               " (app phải đang mở)");
    }
  } else {
    // A request line that waits for coalescing would delay every knob turn.
    (void)socket->set_no_delay();
    // The reader thread shares this one socket (reading while the sender writes is allowed);
    // whoever lets go last closes it. Closing the sender's side is a shutdown, which also ends
    // a read blocked in the reader thread.
    auto shared = std::make_shared<Socket>(std::move(*socket));
    auto alive = std::make_shared<std::atomic<bool>>(true);
    const std::uint64_t number = ++state.connections_made;
    try {
      start_detached([shared, pending = state.pending, alive, number] {
        read_replies(shared, pending, alive, number);
      });
      fresh = Connection{.socket = std::move(shared), .alive = std::move(alive), .number = number};
      log_line("→ đã nối Orvalen Sorvic ở 127.0.0.1:" + std::to_string(state.port));
    } catch (const std::system_error&) {
      // Out of threads: the connection cannot be read, so it is not used.
      shared->shutdown();
    }
  }
  if (state.connection) {
    state.connection->socket->shutdown();
  }
  state.connection = std::move(fresh);
}

bool Link::send(std::string_view method, Json params, std::shared_ptr<ReplySlot> reply) {
  State& state = *m_state;
  std::uint64_t id = 0;
  {
    std::lock_guard lock(state.next_id_lock);
    id = ++state.next_id;
  }

  std::lock_guard connection_guard(state.connection_lock);
  bool usable = state.connection && state.connection->alive->load();
  if (usable) {
    std::lock_guard lock(state.pending->lock);
    const auto waiting = state.pending->by_connection.find(state.connection->number);
    usable =
        waiting == state.pending->by_connection.end() || waiting->second.size() < k_max_unanswered;
  }
  if (!usable) {
    connect_locked();
    if (!state.connection) {
      return false;
    }
  }
  const Connection& connection = *state.connection;
  if (reply) {
    std::lock_guard lock(state.pending->lock);
    state.pending->by_connection[connection.number].insert_or_assign(id, std::move(reply));
  }
  if (!connection.socket->write_all(request_line(id, method, params))) {
    {
      std::lock_guard lock(state.pending->lock);
      if (const auto waiting = state.pending->by_connection.find(connection.number);
          waiting != state.pending->by_connection.end()) {
        waiting->second.erase(id);
      }
    }
    connection.socket->shutdown();
    state.connection.reset();
    return false;
  }
  return true;
}

bool Link::notify(std::string_view command, Json params) {
  return send("engine.execute", command_params(command, std::move(params)));
}

std::optional<Json> Link::call(std::string_view method, Json params,
                               std::chrono::milliseconds timeout) {
  auto slot = std::make_shared<ReplySlot>();
  if (!send(method, std::move(params), slot)) {
    return std::nullopt;
  }
  std::optional<Json> reply = slot->wait_for(timeout);
  if (!reply) {
    return std::nullopt;
  }
  return judge_reply(*reply);
}

std::optional<Json> Link::execute(std::string_view command, Json params) {
  return call("engine.execute", command_params(command, std::move(params)), k_execute_timeout);
}

}  // namespace tavrick

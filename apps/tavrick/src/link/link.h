#pragma once
// The bridge's connection to the editing application's control port on 127.0.0.1: lazy
// connection, numbered requests, a reader thread per connection that hands replies to waiting
// callers. All operations may be called from any thread and serialise inside.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "link/json.h"

namespace tavrick {

class Clock;
class ReplySlot;  // the sending end of a single-use reply channel (link/reply_slot.h)

class Link {
 public:
  /// Link::new: a link to 127.0.0.1:`port`. Opens nothing. Shared by the supervisor, the poller
  /// and the event loop.
  [[nodiscard]] static std::shared_ptr<Link> create(std::uint16_t port);
  /// As above, reading the time of the connection warning's ten-second throttle from `clock`,
  /// which must outlive the link (tests move it by hand).
  [[nodiscard]] static std::shared_ptr<Link> create(std::uint16_t port, const Clock& clock);

  /// Ends the current connection, so that its reader thread finishes soon.
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  /// Sends one request, connecting first when needed (up to 500 ms). True when the whole line
  /// was written; never waits for a reply. `reply`, when given, receives the reply object.
  bool send(std::string_view method, Json params, std::shared_ptr<ReplySlot> reply = nullptr);

  /// An engine.execute request for `command`, without waiting for a reply.
  bool notify(std::string_view command, Json params);

  /// Sends a request and waits up to `timeout` for its reply; the reply's "result", or nothing
  /// (not sent, no reply in time, "ok" false, no result). Logs a refusal.
  [[nodiscard]] std::optional<Json> call(std::string_view method, Json params,
                                         std::chrono::milliseconds timeout);

  /// call() of engine.execute for `command` with a timeout of 1 s.
  [[nodiscard]] std::optional<Json> execute(std::string_view command, Json params);

  /// The port this link connects to.
  [[nodiscard]] std::uint16_t port() const;

 private:
  struct State;
  Link(std::uint16_t port, const Clock& clock);
  void connect_locked();
  std::unique_ptr<State> m_state;
};

}  // namespace tavrick

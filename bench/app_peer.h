#pragma once
// A stand-in for the editing application: a TCP server on 127.0.0.1 that records the arrival of
// every request line, answers like the application (ui.inspect with the loupe view, the rest
// with "ok": true) and, on demand, misbehaves: answers late, refuses, sends garbage and half
// lines, stops reading, closes connections in the middle of a line, restarts. It is built on the
// bridge's own socket layer (link/socket.h), one thread accepting and one serving each
// connection.

#include <cstdint>
#include <memory>
#include <vector>

namespace bench {

enum class LineKind : std::uint8_t { adjust, begin, end, inspect, other };

/// One request line as it arrived.
struct PeerLine {
  std::int64_t at_ns;   ///< now_ns when the read that completed it returned
  std::uint32_t epoch;  ///< the connection it came on (1, 2, ... in order of acceptance)
  LineKind kind;
  double delta;  ///< "delta" of a develop.adjust line
};

/// One accepted connection.
struct Epoch {
  std::int64_t accepted_ns = 0;
  std::int64_t closed_ns = 0;   ///< 0 while open
  bool closed_by_peer = false;  ///< this server closed it (a fault), not the bridge
};

/// How requests are answered.
enum class ReplyMode : std::uint8_t {
  prompt,   ///< at once
  late,     ///< after the given delay
  refuse,   ///< "ok": false with an error
  garbage,  ///< with malformed lines, split lines and oversized lines
  silent,   ///< not at all
};

class AppPeer {
 public:
  /// Listens on 127.0.0.1:`port` (0: any free port) and serves on threads of its own; nothing
  /// when it cannot listen.
  [[nodiscard]] static std::unique_ptr<AppPeer> start(std::uint16_t port = 0);
  ~AppPeer();
  AppPeer(const AppPeer&) = delete;
  AppPeer& operator=(const AppPeer&) = delete;

  [[nodiscard]] std::uint16_t port() const;

  // Faults; any thread.
  void set_reply_mode(ReplyMode mode, std::int64_t delay_ms = 0);
  /// Closes the listener and every connection (each after half a reply line), and listens again
  /// after `down_ms`.
  void restart(std::int64_t down_ms);
  /// Writes half a line on every connection and closes it; the listener stays.
  void close_mid_line();
  /// Stops reading every connection for `ms`.
  void stall(std::int64_t ms);

  // Results; any thread.
  [[nodiscard]] std::size_t line_count() const;
  [[nodiscard]] std::size_t adjust_count() const;
  [[nodiscard]] std::vector<PeerLine> lines() const;
  [[nodiscard]] std::vector<Epoch> epochs() const;
  [[nodiscard]] std::size_t open_connections() const;

  struct State;

 private:
  AppPeer() = default;
  std::unique_ptr<State> m_state;
};

}  // namespace bench

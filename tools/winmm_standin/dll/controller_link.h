#pragma once
// The stand-in DLL's connections to its controller on 127.0.0.1 (port in WINMM_STANDIN_PORT):
// one control connection per process for requests and the record, and one data connection per
// open handle that carries the bytes the device plays.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace winmm_standin {

/// A connected TCP socket that sends and reads whole lines. Owns the socket.
class LineSocket {
 public:
  /// Connects to the controller; nothing when WINMM_STANDIN_PORT is unset or nobody listens.
  [[nodiscard]] static std::optional<LineSocket> connect_to_controller();
  LineSocket(LineSocket&& other) noexcept;
  LineSocket& operator=(LineSocket&& other) noexcept;
  LineSocket(const LineSocket&) = delete;
  LineSocket& operator=(const LineSocket&) = delete;
  ~LineSocket();

  /// Sends `line` and a line feed; false when the connection is gone.
  bool send_line(std::string_view line);
  /// The next line without its line feed; nothing at the end of the connection.
  [[nodiscard]] std::optional<std::string> read_line();
  /// Ends both directions, so that a thread blocked in read_line returns.
  void shut_down();

 private:
  explicit LineSocket(std::uintptr_t socket) : m_socket(socket) {}
  void close();
  std::uintptr_t m_socket;
  std::string m_pending;  // bytes read past the last line returned
};

/// A reply of the controller: `code` 0 with `value` the rest of an "ok" line, or the MMRESULT
/// of an "err" line.
struct Reply {
  unsigned code = 0;
  std::string value;
};

/// The process's control connection, made at its first use. Every member may be called from
/// any thread; requests are serialised, each waits for its reply.
class ControllerLink {
 public:
  static ControllerLink& get();

  /// Sends `line` and returns the reply; MMSYSERR_NODRIVER when the controller cannot be
  /// reached (and a note on standard error, once).
  [[nodiscard]] Reply request(std::string_view line);
  /// Adds `text` to the controller's record, about `handle` (0 for none).
  void record(unsigned handle, std::string_view text);

 private:
  ControllerLink() = default;
  bool connected();   // with m_lock held
  std::mutex m_lock;  // guards m_socket and the order of requests and replies
  std::optional<LineSocket> m_socket;
  bool m_tried = false;
};

}  // namespace winmm_standin

#pragma once
// The bytes on the control-port connection: request lines, the engine.execute envelope, cutting
// the incoming stream into lines and judging replies.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/json.h"

namespace tavrick {

/// The "params" of an engine.execute request: {"command": command}, plus "params" when `params`
/// is an object with at least one member (anything else is left out). Consumes `params`. Pure.
[[nodiscard]] Json command_params(std::string_view command, Json params);

/// The request line {"id":…,"method":…,"params":…} in compact JSON text, ending in one line
/// feed. Pure.
[[nodiscard]] std::string request_line(std::uint64_t id, std::string_view method,
                                       const Json& params);

/// The "id" of a reply object when it is a non-negative integer that fits in 64 bits (3.0 and
/// -3 are not ids); nothing otherwise. Pure.
[[nodiscard]] std::optional<std::uint64_t> reply_id(const Json& reply);

/// True when `reply` is an object whose "ok" is the boolean false. Pure.
[[nodiscard]] bool is_refusal(const Json& reply);

/// "✗ Sorvic báo lỗi: {error}" with the reply's "error" as compact JSON text, or null. Pure.
[[nodiscard]] std::string refusal_message(const Json& reply);

/// Judges the reply a waiting caller received: a refusal is logged and gives nothing; otherwise
/// a copy of "result" when present (null included), nothing when absent. Any thread.
[[nodiscard]] std::optional<Json> judge_reply(const Json& reply);

/// Cuts a byte stream into lines at each line feed (removed; a carriage return before it stays).
/// Bytes after the last line feed form a final line at the end of the stream. A line that grows
/// beyond `max_line` bytes without a line feed is discarded up to its next line feed, so a peer
/// that never ends a line cannot make the reader hold unbounded memory. One thread.
class LineSplitter {
 public:
  /// Longest line kept by default: far above any reply the bridge reads.
  static constexpr std::size_t k_default_max_line = std::size_t{4} << 20;

  explicit LineSplitter(std::size_t max_line = k_default_max_line) : m_max_line(max_line) {}

  /// Feeds `bytes`; calls `on_line(std::string_view)` for every line completed by them.
  template <typename OnLine>
  void feed(std::string_view bytes, OnLine&& on_line) {
    while (!bytes.empty()) {
      const auto end = bytes.find('\n');
      const auto piece = bytes.substr(0, end);
      if (!m_discarding) {
        if (m_line.size() + piece.size() > m_max_line) {
          m_line.clear();
          m_line.shrink_to_fit();
          m_discarding = true;
        } else {
          m_line.append(piece);
        }
      }
      if (end == std::string_view::npos) {
        return;
      }
      if (!m_discarding) {
        on_line(std::string_view(m_line));
      }
      m_line.clear();
      m_discarding = false;
      bytes.remove_prefix(end + 1);
    }
  }

  /// The end of the stream: calls `on_line` for the bytes after the last line feed, if any.
  template <typename OnLine>
  void finish(OnLine&& on_line) {
    if (!m_discarding && !m_line.empty()) {
      on_line(std::string_view(m_line));
    }
    m_line.clear();
    m_discarding = false;
  }

 private:
  std::size_t m_max_line;
  std::string m_line;
  bool m_discarding = false;
};

}  // namespace tavrick

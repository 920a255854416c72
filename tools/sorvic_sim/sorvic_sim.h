#pragma once
// A simulator of the editing application's control port: listens on 127.0.0.1, records every
// request line and answers as the application would for what the bridge relies on. Used by the
// sorvic-sim program and, in process, by the engine and link tests.
//
// Besides answering, it keeps the state the bridge changes, as the application would: ui.set
// updates the "ui" of ui.inspect, crop.set the crop rectangle and mask.adjust the mask values of
// develop.get, photo.pick / photo.reject / photo.unflag the "flag" of photo.inspect. Every other
// request that carries an id is answered with {"id":…,"ok":true,"result":null}.

#include <chrono>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/json.h"

namespace sorvic_sim {

/// How the simulator answers one request; nothing means "send no reply". Given the parsed
/// request object; returns the whole reply line without its line feed (it may be any bytes).
using Responder = std::function<std::optional<std::string>(const tavrick::Json& request)>;

class Simulator {
 public:
  /// Listens on 127.0.0.1:`port` (0: a free port chosen by the system) and serves every client
  /// on threads of its own until destroyed. The error text when it cannot listen.
  [[nodiscard]] static std::expected<std::unique_ptr<Simulator>, std::string> start(
      std::uint16_t port = 0);

  /// Stops listening and closes every client connection.
  ~Simulator();

  [[nodiscard]] std::uint16_t port() const;

  /// Every request line received so far (without its line feed), in arrival order.
  [[nodiscard]] std::vector<std::string> requests() const;
  /// The request lines received so far; forgets them.
  [[nodiscard]] std::vector<std::string> take_requests();
  /// Waits until at least `count` lines have been received (or `timeout` passed) and returns
  /// all lines received so far.
  [[nodiscard]] std::vector<std::string> wait_for_requests(std::size_t count,
                                                           std::chrono::milliseconds timeout);
  /// As above, counting only lines that contain `needle`, and returning only those.
  [[nodiscard]] std::vector<std::string> wait_for_matching(std::string_view needle,
                                                           std::size_t count,
                                                           std::chrono::milliseconds timeout);

  /// The "result" of ui.inspect, e.g. {"ui":{"right":"crop","view":"detail","tool":""}}.
  void set_ui_result(tavrick::Json result);
  /// Shortcut for the usual views: "loupe", "crop", "masking", "remove", "redEye", "wb",
  /// "library" (grid). Keeps activeMask and active as set.
  void set_page(std::string_view page);
  /// The "result" of develop.get (crop rectangle and masks).
  void set_develop_result(tavrick::Json result);
  /// The "result" of photo.inspect.
  void set_photo_result(tavrick::Json result);
  /// The "result" of presets.list.
  void set_presets_result(tavrick::Json result);
  /// Replaces the answer to one method (top-level) or engine.execute command; an empty
  /// function restores the default answer.
  void set_responder(std::string method_or_command, Responder responder);

  /// Called with every request line as it arrives (before it is answered), on the client's
  /// thread; an empty function removes it. The sorvic-sim program prints the lines this way.
  void set_request_observer(std::function<void(std::string_view line)> observer);

  /// The current results, as ui.inspect, develop.get, photo.inspect would answer now.
  [[nodiscard]] tavrick::Json ui_result() const;
  [[nodiscard]] tavrick::Json develop_result() const;
  [[nodiscard]] tavrick::Json photo_result() const;

  /// The names set_page() knows.
  [[nodiscard]] static const std::vector<std::string_view>& page_names();

  /// Closes every client connection and returns when they are closed (the listener stays).
  void drop_clients();
  /// Number of connections accepted so far.
  [[nodiscard]] std::size_t connections_accepted() const;

 private:
  struct State;
  Simulator();
  std::unique_ptr<State> m_state;
};

}  // namespace sorvic_sim

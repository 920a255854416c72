#pragma once
// The engine fixture as the action tests use it: runs actions, starts over with a fresh link
// (whose first request carries the id 2 again), and spells out expected request lines.

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/actions.h"
#include "link/json.h"
#include "support/engine_fixture.h"

namespace tavrick::test {

class ActionTest : public EngineTest {
 protected:
  /// A new link and driver state; the requests and log lines so far are forgotten.
  void fresh_state() {
    (void)sent();
    link = Link::create(sim->port());
    state = DriverState(link, clock);
    (void)log.take();
  }

  void run(const Action& action, std::int32_t detents, std::string_view label = "Nhãn") {
    execute_action(state, action, detents, label);
  }
};

/// The request line of the engine.execute command `command` with the id `id` and the
/// parameter text `params` (empty: the command alone).
inline std::string command_line(std::uint64_t id, std::string_view command,
                                std::string_view params = {}) {
  std::string line = "{\"id\":" + std::to_string(id) +
                     R"(,"method":"engine.execute","params":{"command":")" + std::string(command) +
                     "\"";
  if (!params.empty()) {
    line += ",\"params\":";
    line += params;
  }
  return line + "}}";
}

/// A reply line to `request`: its id followed by `members`, e.g. R"("ok":false)".
inline std::string reply_to(const Json& request, std::string_view members) {
  return "{\"id\":" + json_text(request.at("id")) + "," + std::string(members) + "}";
}

/// A responder that never answers.
inline sorvic_sim::Responder silence() {
  return [](const Json&) -> std::optional<std::string> { return std::nullopt; };
}

/// A responder that answers every request with this very line (which need not be JSON).
inline sorvic_sim::Responder fixed_line(std::string line) {
  return [line = std::move(line)](const Json&) -> std::optional<std::string> { return line; };
}

/// A responder that answers every request with these members after the id.
inline sorvic_sim::Responder answer(std::string members) {
  return [members = std::move(members)](const Json& request) -> std::optional<std::string> {
    return reply_to(request, members);
  };
}

}  // namespace tavrick::test

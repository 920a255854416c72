#include "driver/actions.h"

#include <chrono>
#include <string>
#include <variant>

#include "driver/action_steps.h"
#include "link/link.h"

namespace tavrick {

namespace {

// A run of turns on one control is one edit when no turn is further than this from the last.
constexpr Millis k_interaction_idle{600};

}  // namespace

Json lenient_params(std::string_view text) {
  std::optional<Json> parsed = parse_json(text);
  if (!parsed || !parsed->is_object()) {
    return Json::object();
  }
  return std::move(*parsed);
}

double scaled_delta(std::int32_t detents, double scale) {
  return static_cast<double>(detents) * scale;
}

std::optional<double> json_number(const Json& value) {
  if (!value.is_number()) {
    return std::nullopt;
  }
  return value.get<double>();
}

void begin_interaction(DriverState& state, std::string_view key, std::string_view label) {
  if (state.interaction != key) {
    end_interaction(state);
    Json params = Json::object();
    params["label"] = label;
    state.link->notify("develop.beginInteraction", std::move(params));
    state.interaction = std::string(key);
  }
  state.interaction_deadline = state.now() + k_interaction_idle;
}

void end_interaction(DriverState& state) {
  if (state.interaction) {
    state.interaction.reset();
    state.link->notify("develop.endInteraction", Json::object());
  }
  state.interaction_deadline.reset();
  state.mask_cache.reset();
}

void execute_action(DriverState& state, const Action& action, std::int32_t detents,
                    std::string_view label) {
  std::visit([&](const auto& variant) { run_action(state, variant, detents, label); },
             action.value);
}

}  // namespace tavrick

// Presets by position: the application's preset list in slot order, asked for again when the
// copy is older than 30 s.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/log.h"
#include "driver/action_steps.h"
#include "driver/actions.h"
#include "link/link.h"

namespace tavrick {

namespace {

// A fetched preset list is used without asking again for this long (inclusive).
constexpr std::chrono::seconds k_presets_fresh{30};

bool is_true(const Json& preset, const char* name) {
  auto found = preset.find(name);
  return found != preset.end() && found->is_boolean() && found->get<bool>();
}

// The text ids of `list` in slot order: favourites, then own presets, then built-in ones, each
// group in list order. Elements without a text id are skipped.
std::vector<std::string> ordered_preset_ids(const Json& list) {
  enum class Group { favourite, own, builtin };
  auto group_of = [](const Json& preset) {
    if (is_true(preset, "favorite")) {
      return Group::favourite;
    }
    return is_true(preset, "builtin") ? Group::builtin : Group::own;
  };
  std::vector<std::string> ids;
  for (Group pass : {Group::favourite, Group::own, Group::builtin}) {
    for (const Json& preset : list) {
      if (!preset.is_object() || group_of(preset) != pass) {
        continue;
      }
      auto id = preset.find("id");
      if (id != preset.end() && id->is_string()) {
        ids.push_back(id->get<std::string>());
      }
    }
  }
  return ids;
}

}  // namespace

void run_action(DriverState& state, const Preset& action, std::int32_t, std::string_view) {
  end_interaction(state);
  if (!state.presets_fetched_at || state.now() - *state.presets_fetched_at > k_presets_fresh) {
    // Anything but an array keeps the old list and time, so the next press asks again.
    std::optional<Json> list = state.link->execute("presets.list", Json::object());
    if (list && list->is_array()) {
      state.presets = ordered_preset_ids(*list);
      state.presets_fetched_at = state.now();
    }
  }
  if (action.slot == 0 || action.slot > state.presets.size()) {
    log_line("Preset ô " + std::to_string(action.slot) + ": Sorvic chưa có đủ preset");
    return;
  }
  Json params = Json::object();
  params["id"] = state.presets[action.slot - 1];
  state.link->notify("preset.apply", std::move(params));
}

}  // namespace tavrick

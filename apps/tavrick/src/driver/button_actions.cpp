// Button actions: the knob-to-button adapter, fixed commands, flag and filter toggles,
// selection, bringing the application forward and the report of functions the application lacks.

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "desktop/app_window.h"
#include "desktop/log.h"
#include "driver/action_steps.h"
#include "driver/actions.h"
#include "link/link.h"

namespace tavrick {

namespace {

// One turn runs its button action at most this many times, so a fast spin cannot flood the
// application with presses.
constexpr std::int64_t k_max_turn_presses = 5;

// Commands that change the application's panel, tool or view; polls started before they were
// sent would report the old page.
bool changes_ui(std::string_view method) {
  return method.starts_with("panel.") || method.starts_with("tool.") || method.starts_with("view.");
}

}  // namespace

void run_action(DriverState& state, const Turn& action, std::int32_t detents,
                std::string_view label) {
  end_interaction(state);
  if (detents == 0) {
    return;
  }
  // Widened first: the magnitude of the lowest 32-bit count does not fit in 32 bits.
  const std::int64_t presses = std::min(std::abs(std::int64_t{detents}), k_max_turn_presses);
  const Action& press = detents > 0 ? *action.cw : *action.ccw;
  for (std::int64_t i = 0; i < presses; ++i) {
    execute_action(state, press, 0, label);
  }
}

void run_action(DriverState& state, const Command& action, std::int32_t, std::string_view) {
  end_interaction(state);
  state.link->notify(action.method, lenient_params(action.params));
  if (changes_ui(action.method)) {
    state.ui_changed_at = state.now();
  }
}

void run_action(DriverState& state, const UiCommand& action, std::int32_t, std::string_view) {
  end_interaction(state);
  state.link->send(action.method, lenient_params(action.params));
  if (action.method == "ui.set") {
    state.ui_changed_at = state.now();
  }
}

void run_action(DriverState& state, const ToggleFlag& action, std::int32_t, std::string_view) {
  end_interaction(state);
  std::optional<Json> photo = state.link->execute("photo.inspect", Json::object());
  bool already_set = false;
  if (photo && photo->is_object()) {
    auto flag = photo->find("flag");
    already_set = flag != photo->end() && flag->is_string() &&
                  flag->get_ref<const std::string&>() == action.flag;
  }
  if (already_set) {
    state.link->notify("photo.unflag", Json::object());
  } else if (action.flag == "pick") {
    state.link->notify("photo.pick", Json::object());
  } else {
    state.link->notify("photo.reject", Json::object());
  }
}

void run_action(DriverState& state, const ToggleFilter& action, std::int32_t, std::string_view) {
  end_interaction(state);
  // Only the filter last applied from the surface is known; the application's own filter
  // state is not read.
  if (state.active_filter == action.filter) {
    state.link->notify("library.clearFilter", Json::object());
    state.active_filter.reset();
    return;
  }
  state.link->notify("library.filter", lenient_params(action.filter));
  state.active_filter = action.filter;
}

void run_action(DriverState& state, const SelectOnlyCurrent&, std::int32_t, std::string_view) {
  end_interaction(state);
  if (!state.ui.active) {
    return;
  }
  Json params = Json::object();
  params["ids"] = Json::array({*state.ui.active});
  state.link->notify("library.select", std::move(params));
}

// Nothing is sent and a running interaction goes on: the control did nothing.
void run_action(DriverState&, const Unsupported& action, std::int32_t, std::string_view label) {
  std::string text(label);
  text += ": Sorvic chưa hỗ trợ — ";
  text += action.reason;
  log_line(text);
}

// A running interaction goes on: bringing the window forward changes no parameter.
void run_action(DriverState&, const FocusApp&, std::int32_t, std::string_view) {
  focus_app_window();
}

}  // namespace tavrick

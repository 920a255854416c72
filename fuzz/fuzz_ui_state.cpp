// parse_ui_state on any parsed value: nothing exactly when the value is not an object with a
// "ui" member; otherwise every field is the member of the right type or its default. The page is
// then chosen without failing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "driver/ui_state.h"
#include "link/json.h"

namespace {

using tavrick::Json;

std::string text_or(const Json& ui, const char* key, const char* fallback) {
  if (ui.is_object()) {
    const auto it = ui.find(key);
    if (it != ui.end() && it->is_string()) {
      return it->get<std::string>();
    }
  }
  return fallback;
}

std::optional<std::uint64_t> id_of(const Json& result, const char* key) {
  const auto it = result.find(key);
  if (it == result.end()) {
    return std::nullopt;
  }
  if (it->is_number_unsigned()) {
    return it->get<std::uint64_t>();
  }
  // The parser keeps non-negative integers unsigned, but a signed 0 or above is still an id.
  if (it->is_number_integer() && it->get<std::int64_t>() >= 0) {
    return static_cast<std::uint64_t>(it->get<std::int64_t>());
  }
  return std::nullopt;
}

// The reading of a snapshot, written plainly, to compare with the real one.
std::optional<tavrick::UiState> expected_state(const Json& result) {
  if (!result.is_object() || !result.contains("ui")) {
    return std::nullopt;
  }
  const Json& ui = result["ui"];
  tavrick::UiState state;
  state.right = text_or(ui, "right", "edit");
  state.view = text_or(ui, "view", "detail");
  state.tool = text_or(ui, "tool", "");
  if (ui.is_object()) {
    const auto it = ui.find("thumbSize");
    if (it != ui.end() && it->is_number()) {
      state.thumbSize = it->get<double>();
    }
  }
  state.activeMask = id_of(result, "activeMask");
  state.active = id_of(result, "active");
  return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto value =
      tavrick::parse_json(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!value) {
    return 0;
  }
  const auto state = tavrick::parse_ui_state(*value);
  const auto expected = expected_state(*value);
  if (state.has_value() != expected.has_value()) {
    std::abort();
  }
  if (!state) {
    return 0;
  }
  // thumbSize compared apart: two equal doubles are equal, and parsing gives no NaN.
  if (state->right != expected->right || state->view != expected->view ||
      state->tool != expected->tool || state->thumbSize != expected->thumbSize ||
      state->activeMask != expected->activeMask || state->active != expected->active) {
    std::abort();
  }
  (void)tavrick::current_page(*state);
  return 0;
}

#include "driver/ui_state.h"

#include "link/json.h"

namespace tavrick {
namespace {

/// The member `name` of `object` when it is a JSON string, else `fallback`.
std::string string_member(const nlohmann::json& object, const char* name, const char* fallback) {
  const auto found = object.find(name);
  if (found != object.end() && found->is_string()) {
    return found->get<std::string>();
  }
  return fallback;
}

}  // namespace

std::optional<UiState> parse_ui_state(const nlohmann::json& result) {
  if (!result.is_object()) {
    return std::nullopt;
  }
  const auto ui = result.find("ui");
  if (ui == result.end()) {
    return std::nullopt;
  }
  UiState state;
  if (ui->is_object()) {
    state.right = string_member(*ui, "right", "edit");
    state.view = string_member(*ui, "view", "detail");
    state.tool = string_member(*ui, "tool", "");
    const auto thumb_size = ui->find("thumbSize");
    if (thumb_size != ui->end() && thumb_size->is_number()) {
      state.thumbSize = thumb_size->get<double>();
    }
  }
  state.activeMask = id_member(result, "activeMask");
  state.active = id_member(result, "active");
  return state;
}

Page current_page(const UiState& ui) {
  if (ui.view == "squareGrid" || ui.view == "photoGrid") {
    return Page::library;
  }
  if (ui.right == "masking") {
    return Page::masking;
  }
  if (ui.right == "remove") {
    return Page::remove;
  }
  if (ui.right == "redEye") {
    return Page::redEye;
  }
  if (ui.right == "crop") {
    return Page::crop;
  }
  if (ui.tool == "wbPicker") {
    return Page::wb;
  }
  return Page::loupe;
}

}  // namespace tavrick

#include "driver/input.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "desktop/log.h"
#include "driver/actions.h"
#include "driver/labels.h"
#include "driver/ui_state.h"

namespace tavrick {

namespace {

constexpr std::uint8_t k_note_col = 65;
constexpr std::uint8_t k_note_fn = 110;
constexpr std::uint8_t k_note_custom_mode = 117;

constexpr Millis k_first_repeat{400};
constexpr Millis k_repeat_period{100};

// The arrow keys of a ui.key request, as they appear in the stored params text.
constexpr std::array<std::string_view, 4> k_arrow_keys = {R"("key":"left")", R"("key":"right")",
                                                          R"("key":"up")", R"("key":"down")"};

// Whole milliseconds from `from` to `to`; an instant before `from` counts as no time.
std::string elapsed_ms(Instant from, Instant to) {
  const auto elapsed = std::max(to - from, Instant::duration::zero());
  return std::to_string(std::chrono::duration_cast<Millis>(elapsed).count());
}

std::string knob_name(std::uint8_t number) {
  if (auto label = knob_label(number)) {
    return *std::move(label);
  }
  return "CC " + std::to_string(number);
}

std::string button_name(std::uint8_t number) {
  if (auto label = button_label(number)) {
    return *std::move(label);
  }
  return "note " + std::to_string(number);
}

// The display label of a row of the binding table, worked out once per row rather than on every
// turn; rows of other tables (tests) are labelled on the spot.
std::string_view row_label(const Binding& binding, std::string& scratch) {
  static const std::vector<std::string> k_labels = [] {
    std::vector<std::string> labels;
    for (const Binding& row : binding_table()) {
      labels.push_back(action_label(row.device_action));
    }
    return labels;
  }();
  const std::span<const Binding> table = binding_table();
  if (&binding >= table.data() && &binding < table.data() + table.size()) {
    return k_labels[static_cast<std::size_t>(&binding - table.data())];
  }
  scratch = action_label(binding.device_action);
  return scratch;
}

void run_binding(DriverState& state, const Binding& binding, std::int32_t detents) {
  std::string scratch;
  execute_action(state, binding.action, detents, row_label(binding, scratch));
}

void handle_rotate(DriverState& state, const ControlEvent& event) {
  state.fn_used = state.fn_used || state.fn_held;
  if (const Binding* binding = find_binding(state, ControlKind::rotation, event.number)) {
    run_binding(state, *binding, event.delta);
    return;
  }
  log_line("Núm " + knob_name(event.number) + ": chưa gán");
}

void handle_press(DriverState& state, std::uint8_t number) {
  switch (number) {
    case k_note_col:
      // The surface switches its own note numbers between the star row and the colour labels;
      // there is nothing to keep here.
      log_line("Col: hàng sao ↔ nhãn màu (thiết bị tự đổi)");
      return;
    case k_note_fn:
      state.fn_held = true;
      state.fn_used = false;
      return;
    case k_note_custom_mode:
      state.custom_mode = !state.custom_mode;
      log_line(state.custom_mode ? "Custom Mode BẬT (đường cong, split toning, sharpen, khử nhiễu)"
                                 : "Custom Mode TẮT");
      return;
    default:
      break;
  }

  state.fn_used = state.fn_used || state.fn_held;
  const Binding* binding = find_binding(state, ControlKind::press, number);
  if (binding == nullptr) {
    log_line("Nút " + button_name(number) + ": chưa gán");
    return;
  }

  const Instant now = state.now();
  if (state.press_track && state.press_track->number == number) {
    log_line("! " + button_name(number) + " nhấn lại khi chưa nhận nhả (sau " +
             elapsed_ms(state.press_track->pressed_at, now) + " ms) — thiết bị mất tín hiệu nhả");
  }
  if (is_repeatable(binding->action)) {
    state.press_track = PressTrack{.pressed_at = now,
                                   .next_repeat = now + k_first_repeat,
                                   .binding = binding,
                                   .repeats = 0,
                                   .number = number};
  } else {
    state.press_track.reset();
  }
  run_binding(state, *binding, 0);
}

void handle_release(DriverState& state, std::uint8_t number) {
  if (number == k_note_fn) {
    state.fn_held = false;
    if (state.fn_used) {
      return;
    }
    // Fn tapped alone acts as a press of its own, looked up in the layer without Fn.
    if (const Binding* binding = find_binding(state, ControlKind::press, k_note_fn)) {
      run_binding(state, *binding, 0);
    }
    return;
  }

  if (!state.press_track || state.press_track->number != number) {
    return;
  }
  if (state.press_track->repeats != 0) {
    log_line("nhả " + button_name(number) + " sau " +
             elapsed_ms(state.press_track->pressed_at, state.now()) + " ms (lặp " +
             std::to_string(state.press_track->repeats) + " lần)");
  }
  state.press_track.reset();
}

}  // namespace

Layer current_layer(const DriverState& state) {
  return static_cast<Layer>((state.custom_mode ? 2 : 0) + (state.fn_held ? 1 : 0));
}

void handle_event(DriverState& state, const ControlEvent& event) {
  switch (event.kind) {
    case EventKind::Rotate:
      handle_rotate(state, event);
      return;
    case EventKind::Press:
      handle_press(state, event.number);
      return;
    case EventKind::Release:
      handle_release(state, event.number);
      return;
  }
}

void repeat_tick(DriverState& state, Instant now) {
  if (!state.press_track || now < state.press_track->next_repeat) {
    return;
  }
  PressTrack& track = *state.press_track;
  if (track.repeats == 0) {
    log_line("giữ " + button_name(track.number) + " " + elapsed_ms(track.pressed_at, now) +
             " ms chưa nhả → lặp");
  }
  // A late tick moves the schedule along instead of firing the missed repeats in a burst.
  const Instant base = std::max(track.next_repeat, now - k_repeat_period);
  track.next_repeat = base + k_repeat_period;
  ++track.repeats;
  const Binding& binding = *track.binding;
  run_binding(state, binding, 0);
}

const Binding* find_binding(const DriverState& state, ControlKind kind, std::uint8_t number) {
  const Page page = current_page(state.ui);
  // The library page never falls back to the loupe page.
  const std::array<Page, 2> pages = {page, Page::loupe};
  const std::size_t page_count = (page == Page::library || page == Page::loupe) ? 1 : 2;

  const Layer layer = current_layer(state);
  const std::array<Layer, 2> layers = {layer, 0};
  const std::size_t layer_count = layer == 0 ? 1 : 2;

  for (std::size_t l = 0; l < layer_count; ++l) {
    for (std::size_t p = 0; p < page_count; ++p) {
      if (const Binding* binding =
              state.control_map.find(control_key(pages[p], layers[l], kind, number))) {
        return binding;
      }
    }
  }
  return nullptr;
}

bool is_repeatable(const Action& action) {
  if (std::holds_alternative<CropMove>(action.value)) {
    return true;
  }
  if (const auto* command = std::get_if<Command>(&action.value)) {
    return command->method == "library.next" || command->method == "library.previous";
  }
  if (const auto* ui_command = std::get_if<UiCommand>(&action.value)) {
    return ui_command->method == "ui.key" &&
           std::ranges::any_of(k_arrow_keys, [&](std::string_view key) {
             return ui_command->params.find(key) != std::string_view::npos;
           });
  }
  return false;
}

}  // namespace tavrick

// Display names of knobs, buttons and device actions.

#include "driver/labels.h"

#include <array>
#include <string>

#include "desktop/text_convert.h"
#include "midi/letter_case.h"

namespace tavrick {
namespace {

/// Labels of the light-group knobs from CC 33 on; empty entries are CCs without a label.
constexpr std::array<std::string_view, 16> k_light_knobs = {
    "Exposure", "Blacks",     "Whites", "Saturation",   "Vibrance", "Temperature",
    "Tint",     "Highlights", "D1",     "D2",           "",         "Shadows",
    "Clarity",  "Contrast",   "",       "Núm Crop (to)"};

/// The four CC blocks of the eight colour knobs, one per mode of the surface.
constexpr std::array<std::string_view, 4> k_colour_groups = {"Hue", "Sat", "Lum", "B&W"};

struct NamedNote {
  std::uint8_t note;
  std::string_view label;
};

constexpr NamedNote k_named_buttons[] = {
    {65, "Col (sao ↔ nhãn màu)"},
    {76, "↑"},
    {77, "↓"},
    {78, "←"},
    {79, "→"},
    {88, "Export"},
    {92, "Copy"},
    {93, "Paste"},
    {95, "Undo"},
    {96, "Redo"},
    {97, "Screen Mode"},
    {98, "Hue"},
    {99, "Sat"},
    {100, "Lum"},
    {101, "B&W"},
    {102, "Before/After"},
    {110, "Fn"},
    {114, "L1"},
    {115, "L2"},
    {116, "L3"},
    {117, "Custom Mode"},
};

constexpr std::array<std::string_view, 5> k_colour_labels = {"đỏ", "vàng", "lục", "lam", "tím"};

std::string numbered(std::string_view before, int k, std::string_view after) {
  std::string text(before);
  text += std::to_string(k);
  text += after;
  return text;
}

}  // namespace

std::optional<std::string> knob_label(std::uint8_t number) {
  if (number >= 1 && number <= 32) {
    const int index = number - 1;
    std::string text = numbered("P", index % 8 + 1, " (");
    text += k_colour_groups[static_cast<std::size_t>(index / 8)];
    text += ')';
    return text;
  }
  if (number >= 33 && number <= 48) {
    const std::string_view label = k_light_knobs[number - 33u];
    if (!label.empty()) {
      return std::string(label);
    }
  }
  return std::nullopt;
}

std::optional<std::string> button_label(std::uint8_t number) {
  for (const NamedNote& named : k_named_buttons) {
    if (named.note == number) {
      return std::string(named.label);
    }
  }
  if (number >= 49 && number <= 54) {
    return numbered("C", number - 48, "");
  }
  if (number >= 66 && number <= 70) {
    return numbered("", number - 65, " sao");
  }
  if (number >= 71 && number <= 75) {
    return "nhãn " + std::string(k_colour_labels[number - 71u]);
  }
  if (number >= 80 && number <= 87) {
    return numbered("Preset P", number - 79, "");
  }
  if (auto knob = knob_label(number)) {
    return "Nhấn " + *knob;
  }
  return std::nullopt;
}

std::string action_label(std::string_view device_action) {
  const std::string_view kept = device_action.substr(0, device_action.find("___"));
  std::string label;
  label.reserve(kept.size() + 4);
  bool last_is_lowercase = false;
  for (std::size_t at = 0; at < kept.size();) {
    const Utf8Decoded decoded = decode_utf8(kept, at);
    if (last_is_lowercase && is_uppercase(decoded.code_point)) {
      label += ' ';
    }
    // The bytes are copied as they are, also those of a broken sequence.
    label.append(kept.substr(at, decoded.length));
    last_is_lowercase = is_lowercase(decoded.code_point);
    at += decoded.length;
  }
  return label;
}

}  // namespace tavrick

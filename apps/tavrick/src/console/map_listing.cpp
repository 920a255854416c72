// The `list` command: the binding table as a readable listing grouped by page and layer.

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bindings/control_key.h"
#include "console/commands.h"
#include "desktop/console_output.h"
#include "desktop/text_convert.h"
#include "driver/labels.h"

namespace tavrick {
namespace {

constexpr std::string_view k_not_loupe_note = " (chỉ phần khác Chỉnh ảnh)";

struct PageTitle {
  std::string_view title;
  std::string_view note;
};

/// By `Page` in enum order.
constexpr std::array<PageTitle, 7> k_page_titles = {{
    {"Chỉnh ảnh", ""},
    {"Crop", k_not_loupe_note},
    {"Remove (xoá vết)", k_not_loupe_note},
    {"Mắt đỏ", k_not_loupe_note},
    {"Masking", k_not_loupe_note},
    {"Chọn cân bằng trắng", k_not_loupe_note},
    {"Lưới ảnh (Library)", ""},
}};

constexpr std::array<std::string_view, 4> k_layer_titles = {"thường", "giữ Fn", "Custom Mode",
                                                            "Custom Mode + giữ Fn"};

constexpr std::size_t k_label_width = 22;
constexpr std::size_t k_action_width = 34;

void append_padded(std::string& out, std::string_view text, std::size_t width) {
  out += text;
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); at += decode_utf8(text, at).length) {
    ++count;
  }
  if (count < width) {
    out.append(width - count, ' ');
  }
}

std::string control_label(std::string_view key) {
  const KeyFieldReading reading = read_key_fields(key);
  const std::uint8_t number = reading.number.value_or(0);
  if (reading.kind == "r") {
    return "xoay " + knob_label(number).value_or("CC " + std::to_string(number));
  }
  return button_label(number).value_or("note " + std::to_string(number));
}

/// Shortest text that reads back as `value`, never with an exponent: 1 → "1", 0.05 → "0.05".
std::string real_text(double value) {
  char buffer[400];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, end.ptr);
}

std::string joined(std::string_view a, std::string_view between, std::string_view b) {
  std::string text(a);
  text += between;
  text += b;
  return text;
}

std::string describe(const Action& action);

struct Describe {
  std::string operator()(const Adjust& a) const {
    return joined(a.key, " (±", real_text(a.scale)) + "/nấc)";
  }
  std::string operator()(const QuickAdjust& a) const {
    return joined(a.key, "", " trên mọi ảnh đang chọn");
  }
  std::string operator()(const MaskAdjust& a) const { return joined("mask: ", "", a.key); }
  std::string operator()(const CropAngle&) const { return "xoay thẳng ảnh (crop.angle)"; }
  std::string operator()(const CropMove&) const { return "dịch khung crop"; }
  std::string operator()(const CropScale&) const { return "co giãn khung crop"; }
  std::string operator()(const Turn& t) const {
    if (t.ccw == nullptr || t.cw == nullptr) {
      std::abort();  // the table's turns always name both actions
    }
    return "← " + describe(*t.ccw) + "  |  → " + describe(*t.cw);
  }
  std::string operator()(const ThumbSize&) const { return "cỡ ảnh thu nhỏ"; }
  std::string operator()(const Command& c) const {
    return c.params.empty() ? std::string(c.method) : joined(c.method, " ", c.params);
  }
  std::string operator()(const UiCommand& c) const { return joined(c.method, " ", c.params); }
  std::string operator()(const Reset& r) const {
    if (r.keys.size() == 1) {
      return joined("reset ", "", r.keys.front());
    }
    return "reset " + std::to_string(r.keys.size()) + " thông số";
  }
  std::string operator()(const MaskReset& r) const { return joined("mask: reset ", "", r.key); }
  std::string operator()(const ToggleFlag& f) const { return joined("bật/tắt cờ ", "", f.flag); }
  std::string operator()(const ToggleFilter& f) const {
    return joined("bật/tắt lọc ", "", f.filter);
  }
  std::string operator()(const Preset& p) const {
    return "preset ô " + std::to_string(p.slot) + " (★ favorite trước)";
  }
  std::string operator()(const FocusApp&) const { return "đưa Sorvic lên trước"; }
  std::string operator()(const SelectOnlyCurrent&) const { return "chỉ giữ ảnh đang xem"; }
  std::string operator()(const Unsupported& u) const {
    return joined("✗ chưa hỗ trợ — ", "", u.reason);
  }
};

std::string describe(const Action& action) { return std::visit(Describe{}, action.value); }

}  // namespace

std::string map_listing(std::span<const Binding> table) {
  // Ordered by (page index, layer number); each group keeps table order.
  std::map<std::pair<std::size_t, std::uint64_t>, std::vector<const Binding*>> groups;
  std::size_t unsupported = 0;
  for (const Binding& binding : table) {
    if (std::holds_alternative<Unsupported>(binding.action.value)) {
      ++unsupported;
    }
    const KeyFieldReading reading = read_key_fields(binding.key);
    if (reading.page && reading.layer) {
      groups[{static_cast<std::size_t>(*reading.page), *reading.layer}].push_back(&binding);
    }
  }

  std::string out;
  for (const auto& [group, bindings] : groups) {
    const PageTitle& page = k_page_titles.at(group.first);
    out += "\n══ ";
    out += page.title;
    out += " — ";
    out += group.second < k_layer_titles.size() ? k_layer_titles[group.second] : "?";
    out += page.note;
    out += '\n';
    for (const Binding* binding : bindings) {
      out += "  ";
      append_padded(out, control_label(binding->key), k_label_width);
      out += ' ';
      append_padded(out, binding->device_action, k_action_width);
      out += " → ";
      out += describe(binding->action);
      out += '\n';
    }
  }
  out += '\n';
  out += std::to_string(table.size());
  out += " ô, ";
  out += std::to_string(unsupported);
  out += " ô chưa có lệnh Sorvic tương đương.\n";
  return out;
}

int list_command() {
  write_text(Stream::out, map_listing(binding_table()));
  return 0;
}

}  // namespace tavrick

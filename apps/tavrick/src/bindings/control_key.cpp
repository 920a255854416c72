#include "bindings/control_key.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

namespace tavrick {
namespace {

// Indexed by Page.
constexpr std::array<std::string_view, 7> k_page_names = {
    "loupe", "crop", "remove", "redEye", "masking", "wb", "library",
};

/// A decimal number with one optional leading "+" that is at most `max`.
std::optional<std::uint64_t> read_decimal(std::string_view text, std::uint64_t max) {
  if (text.starts_with('+')) {
    text.remove_prefix(1);
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::string_view page_name(Page page) { return k_page_names.at(static_cast<std::size_t>(page)); }

std::optional<Page> page_from_name(std::string_view name) {
  for (std::size_t i = 0; i < k_page_names.size(); ++i) {
    if (k_page_names[i] == name) {
      return static_cast<Page>(i);
    }
  }
  return std::nullopt;
}

std::string control_key(Page page, Layer layer, ControlKind kind, std::uint8_t number) {
  // The longest key ("masking/3/r/116") has 15 characters and stays in the small-string buffer.
  const auto append_decimal = [](std::string& out, std::uint8_t value) {
    std::array<char, 3> digits{};
    out.append(digits.data(), std::to_chars(digits.data(), digits.data() + 3, value).ptr);
  };
  std::string key(page_name(page));
  key += '/';
  append_decimal(key, layer);
  key += '/';
  key += static_cast<char>(kind);
  key += '/';
  append_decimal(key, number);
  return key;
}

KeyFieldReading read_key_fields(std::string_view key) {
  std::array<std::string_view, 4> fields{};
  for (std::string_view& field : fields) {
    const std::size_t slash = key.find('/');
    field = key.substr(0, slash);
    if (slash == std::string_view::npos) {
      break;
    }
    key.remove_prefix(slash + 1);
  }
  KeyFieldReading reading{
      .page = page_from_name(fields[0]),
      .layer = read_decimal(fields[1], std::numeric_limits<std::uint64_t>::max()),
      .kind = fields[2],
      .number = std::nullopt};
  if (const auto number = read_decimal(fields[3], std::numeric_limits<std::uint8_t>::max())) {
    reading.number = static_cast<std::uint8_t>(*number);
  }
  return reading;
}

std::optional<ControlKeyFields> parse_control_key(std::string_view key) {
  const KeyFieldReading reading = read_key_fields(key);
  if (!reading.page || !reading.layer || *reading.layer > std::numeric_limits<Layer>::max() ||
      !reading.number || (reading.kind != "r" && reading.kind != "p")) {
    return std::nullopt;
  }
  const ControlKeyFields fields{*reading.page, static_cast<Layer>(*reading.layer),
                                reading.kind == "r" ? ControlKind::rotation : ControlKind::press,
                                *reading.number};
  // Writing the fields back rejects what reading lets through: a sign, leading zeros, text after
  // the number.
  if (control_key(fields.page, fields.layer, fields.kind, fields.number) != key) {
    return std::nullopt;
  }
  return fields;
}

}  // namespace tavrick

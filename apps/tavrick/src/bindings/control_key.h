#pragma once
// Pages, layers and the text key that names one control in one page and layer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrick {

/// What the editing application is showing, in table order.
enum class Page : std::uint8_t { loupe, crop, remove, redEye, masking, wb, library };

/// 0 neither modifier, 1 Fn held, 2 Custom Mode on, 3 both.
using Layer = std::uint8_t;

/// A rotation (knob or wheel turned) or a press (button).
enum class ControlKind : char { rotation = 'r', press = 'p' };

/// The page's text as it appears in keys ("redEye").
[[nodiscard]] std::string_view page_name(Page page);

/// The page whose text is exactly `name`, or nothing.
[[nodiscard]] std::optional<Page> page_from_name(std::string_view name);

/// "{page}/{layer}/{kind}/{number}", e.g. "loupe/0/r/33". Fits the small-string buffer, so
/// building a key does not allocate.
[[nodiscard]] std::string control_key(Page page, Layer layer, ControlKind kind,
                                      std::uint8_t number);

/// The four fields of a key as control_key takes them.
struct ControlKeyFields {
  Page page;
  Layer layer;
  ControlKind kind;
  std::uint8_t number;
};

/// A key read field by field, each field on its own: what a key that control_key did not write
/// (a hand-made table) still says. Decimal numbers may carry one leading "+".
struct KeyFieldReading {
  std::optional<Page> page;            ///< the first field when it names a page exactly
  std::optional<std::uint64_t> layer;  ///< the second field when it is a number of 64 bits
  std::string_view kind;               ///< the third field as written
  std::optional<std::uint8_t> number;  ///< the fourth field when it is a number from 0 to 255
};

/// Splits `key` at "/" into four fields (missing ones are empty, text after a fourth "/" is not
/// read) and reads each; a field that does not read is left empty. Refers into `key`. Pure.
[[nodiscard]] KeyFieldReading read_key_fields(std::string_view key);

/// The fields of `key` when it is exactly the text control_key writes for them (no sign, no
/// leading zero, nothing after the number), or nothing. Pure.
[[nodiscard]] std::optional<ControlKeyFields> parse_control_key(std::string_view key);

}  // namespace tavrick

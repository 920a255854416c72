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

}  // namespace tavrick

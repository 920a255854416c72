#pragma once
// What a control of the surface can do: the 18 variants of an action, in tag order.

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

namespace tavrick {

struct Action;

/// Relative change of one develop parameter by detents × scale, inside an interaction.
struct Adjust {
  std::string_view key;
  double scale;
};
/// Relative change through the quick-develop command, without an interaction.
struct QuickAdjust {
  std::string_view key;
  double scale;
};
/// Change of one parameter of the active mask, kept within limits.
struct MaskAdjust {
  std::string_view key;
  double scale;
};
/// Turns the crop angle by detents × scale, opening the crop panel first.
struct CropAngle {
  double scale;
};
/// Shifts the crop rectangle by fractions of the image, kept inside the image.
struct CropMove {
  double dx;
  double dy;
};
/// Grows or shrinks the crop rectangle about its centre by 1 + detents × scale.
struct CropScale {
  double scale;
};
/// Runs `cw` for a clockwise turn and `ccw` for a counter-clockwise one, once per detent up to
/// five. Both refer to static actions that are never a Turn.
struct Turn {
  const Action* ccw;
  const Action* cw;
};
/// Changes the library thumbnail size.
struct ThumbSize {};
/// Sends `method` as a command of engine.execute; `params` holds a JSON object text or is empty.
struct Command {
  std::string_view method;
  std::string_view params;
};
/// Sends `method` as a top-level request; `params` holds a JSON object text or is empty.
struct UiCommand {
  std::string_view method;
  std::string_view params;
};
/// Resets each listed develop parameter, in order.
struct Reset {
  std::span<const std::string_view> keys;
};
/// Asks for one mask parameter to be set to 0, naming no mask.
struct MaskReset {
  std::string_view key;
};
/// Toggles the `pick` or `reject` flag of the current photo.
struct ToggleFlag {
  std::string_view flag;
};
/// Applies the filter (a JSON object text), or clears filtering when it is the active one.
struct ToggleFilter {
  std::string_view filter;
};
/// Applies the preset at this 1-based position of the ordered preset list.
struct Preset {
  std::uint64_t slot;
};
/// Brings the editing application's window to the front.
struct FocusApp {};
/// Selects only the photo being viewed.
struct SelectOnlyCurrent {};
/// Reports that the function has no equivalent in the editing application.
struct Unsupported {
  std::string_view reason;
};

/// The variants in tag order (tag = index()).
using ActionVariant =
    std::variant<Adjust, QuickAdjust, MaskAdjust, CropAngle, CropMove, CropScale, Turn, ThumbSize,
                 Command, UiCommand, Reset, MaskReset, ToggleFlag, ToggleFilter, Preset, FocusApp,
                 SelectOnlyCurrent, Unsupported>;

/// One action. All texts it refers to are static and it never changes after start.
struct Action {
  ActionVariant value;
};

}  // namespace tavrick

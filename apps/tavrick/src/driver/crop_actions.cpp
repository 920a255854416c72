// Moving and resizing the crop rectangle. Both read the rectangle from the application first
// and send the new one back; the rectangle is fractions of the image, left, top, right, bottom.

#include <algorithm>
#include <array>
#include <optional>

#include "driver/action_steps.h"
#include "driver/actions.h"
#include "link/link.h"

namespace tavrick {

namespace {

struct CropRect {
  double x0;
  double y0;
  double x1;
  double y1;
};

// The smaller side of a scaled rectangle may not become shorter than this fraction.
constexpr double k_min_half_side = 0.05;

// The member `name` of `value`, or nullptr when `value` is not an object or lacks it.
const Json* member(const Json* value, const char* name) {
  if (value == nullptr || !value->is_object()) {
    return nullptr;
  }
  auto found = value->find(name);
  return found == value->end() ? nullptr : &*found;
}

std::optional<double> edge(const Json* rect, const char* name) {
  const Json* value = member(rect, name);
  return value == nullptr ? std::nullopt : json_number(*value);
}

// The crop rectangle as the application reports it now; nothing without a reply or when an
// edge is missing or not a number.
std::optional<CropRect> fetch_crop_rect(DriverState& state) {
  std::optional<Json> result = state.link->execute("develop.get", Json::object());
  if (!result) {
    return std::nullopt;
  }
  const Json* rect = member(member(member(&*result, "crop"), "geometry"), "rect");
  std::optional<double> x0 = edge(rect, "x0");
  std::optional<double> y0 = edge(rect, "y0");
  std::optional<double> x1 = edge(rect, "x1");
  std::optional<double> y1 = edge(rect, "y1");
  if (!x0 || !y0 || !x1 || !y1) {
    return std::nullopt;
  }
  return CropRect{.x0 = *x0, .y0 = *y0, .x1 = *x1, .y1 = *y1};
}

void send_crop_rect(DriverState& state, const CropRect& rect) {
  Json params = Json::object();
  params["rect"] = Json::array({rect.x0, rect.y0, rect.x1, rect.y1});
  state.link->notify("crop.set", std::move(params));
}

}  // namespace

// The move is fixed per button; the count (0 for presses and repeats) is not used.
void run_action(DriverState& state, const CropMove& action, std::int32_t, std::string_view) {
  end_interaction(state);
  std::optional<CropRect> rect = fetch_crop_rect(state);
  if (!rect) {
    return;
  }
  // The rectangle keeps its size and stays inside the image.
  const double ddx = std::min(std::max(action.dx, -rect->x0), 1.0 - rect->x1);
  const double ddy = std::min(std::max(action.dy, -rect->y0), 1.0 - rect->y1);
  send_crop_rect(
      state,
      CropRect{
          .x0 = rect->x0 + ddx, .y0 = rect->y0 + ddy, .x1 = rect->x1 + ddx, .y1 = rect->y1 + ddy});
}

void run_action(DriverState& state, const CropScale& action, std::int32_t detents,
                std::string_view) {
  end_interaction(state);
  std::optional<CropRect> rect = fetch_crop_rect(state);
  if (!rect) {
    return;
  }
  const double hw = (rect->x1 - rect->x0) / 2.0;
  const double hh = (rect->y1 - rect->y0) / 2.0;
  if (hw > 0.0 && hh > 0.0) {
    const double cx = (rect->x0 + rect->x1) / 2.0;
    const double cy = (rect->y0 + rect->y1) / 2.0;
    const double f = 1.0 + scaled_delta(detents, action.scale);
    const double lo = k_min_half_side / std::min(hw, hh);
    const double hi = std::min({cx / hw, (1.0 - cx) / hw, cy / hh, (1.0 - cy) / hh});
    // When lo exceeds hi the image edge wins over the minimum size.
    const double g = std::min(std::max(f, lo), hi);
    *rect = CropRect{.x0 = cx - hw * g, .y0 = cy - hh * g, .x1 = cx + hw * g, .y1 = cy + hh * g};
  }
  send_crop_rect(state, *rect);
}

}  // namespace tavrick

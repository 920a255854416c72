// Knob turns that change develop parameters, the thumbnail size, and the parameter resets.

#include <algorithm>
#include <string>

#include "desktop/log.h"
#include "driver/action_steps.h"
#include "driver/actions.h"
#include "link/link.h"

namespace tavrick {

namespace {

// The mask parameters take absolute values within these limits; exposure is in stops.
constexpr double k_mask_exposure_limit = 4.0;
constexpr double k_mask_other_limit = 100.0;

constexpr double k_thumb_step = 10.0;
constexpr double k_thumb_min = 90.0;
constexpr double k_thumb_max = 480.0;

// {"control": key, "delta": delta}
Json control_delta(std::string_view key, double delta) {
  Json params = Json::object();
  params["control"] = std::string(key);
  params["delta"] = delta;
  return params;
}

// The first element of `masks` whose id is `id`, as an unsigned integer.
const Json* find_mask(const Json& masks, std::uint64_t id) {
  for (const Json& mask : masks) {
    if (!mask.is_object()) {
      continue;
    }
    auto found = mask.find("id");
    if (found != mask.end() && found->is_number_unsigned() && found->get<std::uint64_t>() == id) {
      return &mask;
    }
  }
  return nullptr;
}

// The adjust values of mask `id` as the application reports them now; an empty object when
// there is no reply, no such mask or no adjust object.
Json fetch_mask_values(DriverState& state, std::uint64_t id) {
  std::optional<Json> result = state.link->execute("develop.get", Json::object());
  if (!result || !result->is_object()) {
    return Json::object();
  }
  auto masks = result->find("masks");
  if (masks == result->end() || !masks->is_array()) {
    return Json::object();
  }
  const Json* mask = find_mask(*masks, id);
  if (mask == nullptr) {
    return Json::object();
  }
  auto adjust = mask->find("adjust");
  if (adjust == mask->end() || !adjust->is_object()) {
    return Json::object();
  }
  return *adjust;
}

}  // namespace

void run_action(DriverState& state, const Adjust& action, std::int32_t detents,
                std::string_view label) {
  begin_interaction(state, action.key, label);
  state.link->notify("develop.adjust",
                     control_delta(action.key, scaled_delta(detents, action.scale)));
}

void run_action(DriverState& state, const QuickAdjust& action, std::int32_t detents,
                std::string_view) {
  end_interaction(state);
  state.link->notify("develop.quickAdjust",
                     control_delta(action.key, scaled_delta(detents, action.scale)));
}

void run_action(DriverState& state, const MaskAdjust& action, std::int32_t detents,
                std::string_view label) {
  const double delta = scaled_delta(detents, action.scale);
  if (!state.ui.activeMask) {
    log_line(std::string(label) + ": chưa chọn mask nào");
    return;
  }
  const std::uint64_t id = *state.ui.activeMask;
  begin_interaction(state, "mask." + std::string(action.key), label);
  if (!state.mask_cache || state.mask_cache->id != id) {
    // The application takes absolute mask values, so the running value is read once per
    // interaction and then kept here.
    state.mask_cache = MaskCache{.id = id, .values = fetch_mask_values(state, id)};
  }
  Json& values = state.mask_cache->values;
  const std::string key(action.key);
  const double limit = action.key == "exposure" ? k_mask_exposure_limit : k_mask_other_limit;
  auto cached = values.find(key);
  const double current = cached == values.end() ? 0.0 : json_number(*cached).value_or(0.0);
  const double updated = std::clamp(current + delta, -limit, limit);
  values[key] = updated;

  Json changed = Json::object();
  changed[key] = updated;
  Json params = Json::object();
  params["id"] = id;
  params["values"] = std::move(changed);
  state.link->notify("mask.adjust", std::move(params));
}

void run_action(DriverState& state, const CropAngle& action, std::int32_t detents,
                std::string_view label) {
  if (state.ui.right != "crop") {
    end_interaction(state);
    state.link->notify("panel.crop", Json::object());
    // The page becomes crop at once; the poller's older snapshots must not undo that.
    state.ui.right = "crop";
    state.ui_changed_at = state.now();
  }
  begin_interaction(state, "crop.angle", label);
  state.link->notify("develop.adjust",
                     control_delta("crop.angle", scaled_delta(detents, action.scale)));
}

void run_action(DriverState& state, const ThumbSize&, std::int32_t detents, std::string_view) {
  const double size = state.ui.thumbSize + static_cast<double>(detents) * k_thumb_step;
  state.ui.thumbSize = std::min(std::max(size, k_thumb_min), k_thumb_max);
  state.ui_changed_at = state.now();
  Json params = Json::object();
  params["thumbSize"] = state.ui.thumbSize;
  state.link->send("ui.set", std::move(params));
}

void run_action(DriverState& state, const Reset& action, std::int32_t, std::string_view) {
  end_interaction(state);
  for (std::string_view key : action.keys) {
    Json params = Json::object();
    params["control"] = std::string(key);
    state.link->notify("develop.resetControl", std::move(params));
  }
}

void run_action(DriverState& state, const MaskReset& action, std::int32_t, std::string_view) {
  end_interaction(state);
  Json values = Json::object();
  values[std::string(action.key)] = 0.0;
  Json params = Json::object();
  params["values"] = std::move(values);
  state.link->notify("mask.adjust", std::move(params));
}

}  // namespace tavrick

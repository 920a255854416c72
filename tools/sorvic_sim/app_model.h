#pragma once
// What the simulated editing application shows, and how it answers the requests of the bridge.

#include <string>
#include <string_view>
#include <vector>

#include "link/json.h"

namespace sorvic_sim {

/// The application's state as the control port shows it. Not locked: the Simulator guards it.
struct AppModel {
  AppModel();

  /// The "result" of ui.inspect: {"ui":{…},"activeMask":…,"active":…}.
  tavrick::Json ui;
  /// The "result" of develop.get: {"crop":{"geometry":{"rect":{…}}},"masks":[…]}.
  tavrick::Json develop;
  /// The "result" of photo.inspect: {"flag":…}.
  tavrick::Json photo;
  /// The "result" of presets.list: an array of {"id","favorite","builtin"}.
  tavrick::Json presets;

  /// Applies the effect of `request` (ui.set, crop.set, mask.adjust, the flag commands) and
  /// returns the "result" to answer with: the state for the reading methods, null otherwise.
  tavrick::Json apply(const tavrick::Json& request);

  /// Shows one of page_names(); false (and nothing changed) for another name.
  bool set_page(std::string_view page);
};

/// The names AppModel::set_page knows.
const std::vector<std::string_view>& page_names();

/// The command of an engine.execute request, else its method; empty when there is neither.
std::string request_key(const tavrick::Json& request);

}  // namespace sorvic_sim

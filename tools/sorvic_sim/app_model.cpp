#include "app_model.h"

#include <array>

namespace sorvic_sim {

using tavrick::Json;

namespace {

struct PageView {
  std::string_view page;
  std::string_view right;
  std::string_view view;
  std::string_view tool;
};

constexpr std::array k_pages{
    PageView{"loupe", "edit", "detail", ""},        // the editing view, no tool
    PageView{"crop", "crop", "detail", ""},         // crop panel
    PageView{"masking", "masking", "detail", ""},   // masking panel
    PageView{"remove", "remove", "detail", ""},     // spot removal panel
    PageView{"redEye", "redEye", "detail", ""},     // red-eye panel
    PageView{"wb", "edit", "detail", "wbPicker"},   // white-balance picker
    PageView{"library", "edit", "squareGrid", ""},  // library grid
};

const Json* member(const Json& object, std::string_view key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

/// The command's own parameters of an engine.execute request, or the request's params.
Json arguments(const Json& request) {
  const Json* params = member(request, "params");
  if (params == nullptr) {
    return Json::object();
  }
  if (member(request, "method") != nullptr && *member(request, "method") == "engine.execute") {
    const Json* inner = member(*params, "params");
    return inner != nullptr ? *inner : Json::object();
  }
  return *params;
}

void set_crop(Json& develop, const Json& args) {
  const Json* rect = member(args, "rect");
  if (rect == nullptr || !rect->is_array() || rect->size() != 4) {
    return;
  }
  Json& target = develop["crop"]["geometry"]["rect"];
  const std::array<const char*, 4> edges{"x0", "y0", "x1", "y1"};
  for (std::size_t i = 0; i < edges.size(); ++i) {
    target[edges[i]] = (*rect)[i];
  }
}

void adjust_mask(Json& develop, const Json& args) {
  const Json* id = member(args, "id");
  const Json* values = member(args, "values");
  if (id == nullptr || values == nullptr || !values->is_object()) {
    return;
  }
  Json& masks = develop["masks"];
  if (!masks.is_array()) {
    masks = Json::array();
  }
  for (Json& mask : masks) {
    if (mask.is_object() && mask.value("id", Json()) == *id) {
      mask["adjust"].update(*values);
      return;
    }
  }
  masks.push_back({{"id", *id}, {"adjust", *values}});
}

}  // namespace

AppModel::AppModel()
    : ui({{"ui", {{"right", "edit"}, {"view", "detail"}, {"tool", ""}, {"thumbSize", 220.0}}},
          {"activeMask", 1},
          {"active", 1}}),
      develop({{"crop",
                {{"geometry", {{"rect", {{"x0", 0.0}, {"y0", 0.0}, {"x1", 1.0}, {"y1", 1.0}}}}}}},
               {"masks", Json::array({{{"id", 1}, {"adjust", {{"exposure", 0.0}}}}})}}),
      photo({{"flag", "none"}}),
      presets(Json::array({{{"id", "Vivid"}, {"favorite", true}, {"builtin", true}},
                           {{"id", "Mine"}, {"favorite", false}, {"builtin", false}},
                           {{"id", "Mono"}, {"favorite", false}, {"builtin", true}}})) {}

Json AppModel::apply(const Json& request) {
  const std::string key = request_key(request);
  const Json args = arguments(request);
  if (key == "ui.inspect") {
    return ui;
  }
  if (key == "develop.get") {
    return develop;
  }
  if (key == "photo.inspect") {
    return photo;
  }
  if (key == "presets.list") {
    return presets;
  }
  if (key == "ui.set" && args.is_object()) {
    for (const char* field : {"right", "view", "tool", "thumbSize"}) {
      if (const Json* value = member(args, field)) {
        ui["ui"][field] = *value;
      }
    }
  } else if (key == "crop.set") {
    set_crop(develop, args);
  } else if (key == "mask.adjust") {
    adjust_mask(develop, args);
  } else if (key == "photo.pick") {
    photo["flag"] = "pick";
  } else if (key == "photo.reject") {
    photo["flag"] = "reject";
  } else if (key == "photo.unflag") {
    photo["flag"] = "none";
  }
  return nullptr;
}

bool AppModel::set_page(std::string_view page) {
  for (const PageView& entry : k_pages) {
    if (entry.page == page) {
      Json& shown = ui["ui"];
      shown["right"] = entry.right;
      shown["view"] = entry.view;
      shown["tool"] = entry.tool;
      return true;
    }
  }
  return false;
}

const std::vector<std::string_view>& page_names() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> list;
    for (const PageView& entry : k_pages) {
      list.push_back(entry.page);
    }
    return list;
  }();
  return names;
}

std::string request_key(const Json& request) {
  const Json* method = member(request, "method");
  if (method == nullptr || !method->is_string()) {
    return {};
  }
  if (*method == "engine.execute") {
    const Json* params = member(request, "params");
    const Json* command = params != nullptr ? member(*params, "command") : nullptr;
    if (command != nullptr && command->is_string()) {
      return command->get<std::string>();
    }
  }
  return method->get<std::string>();
}

}  // namespace sorvic_sim

#include "link/wire.h"

#include <array>
#include <charconv>
#include <utility>

#include "desktop/log.h"

namespace tavrick {

Json command_params(std::string_view command, Json params) {
  Json envelope = Json::object();
  envelope["command"] = std::string(command);
  if (params.is_object() && !params.empty()) {
    envelope["params"] = std::move(params);
  }
  return envelope;
}

std::string request_line(std::uint64_t id, std::string_view method, const Json& params) {
  // Written by hand rather than through a Json object so that the parameters are not copied;
  // "id" < "method" < "params" is the sorted order.
  std::string line;
  line.reserve(160);  // a knob turn's line fits, so building it allocates once
  line += "{\"id\":";
  std::array<char, 20> digits{};
  line.append(digits.data(), std::to_chars(digits.data(), digits.data() + digits.size(), id).ptr);
  line += ",\"method\":";
  append_json_string(line, method);
  line += ",\"params\":";
  append_json_text(line, params);
  line += "}\n";
  return line;
}

std::optional<std::uint64_t> reply_id(const Json& reply) { return id_member(reply, "id"); }

bool is_refusal(const Json& reply) {
  if (!reply.is_object()) {
    return false;
  }
  const auto ok = reply.find("ok");
  return ok != reply.end() && ok->is_boolean() && !ok->get<bool>();
}

std::string refusal_message(const Json& reply) {
  std::string message = "✗ Sorvic báo lỗi: ";
  const auto error = reply.is_object() ? reply.find("error") : reply.end();
  if (reply.is_object() && error != reply.end()) {
    append_json_text(message, *error);
  } else {
    message += "null";
  }
  return message;
}

std::optional<Json> judge_reply(const Json& reply) {
  if (is_refusal(reply)) {
    log_line(refusal_message(reply));
    return std::nullopt;
  }
  if (!reply.is_object()) {
    return std::nullopt;
  }
  const auto result = reply.find("result");
  if (result == reply.end()) {
    return std::nullopt;
  }
  return *result;
}

}  // namespace tavrick

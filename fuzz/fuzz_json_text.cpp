// Parsing a line and writing its compact text gives a text that parses back to the same value,
// bit for bit (types, float bits and negative zero included), and writing that value again gives
// the same text.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "link/json.h"

namespace {

using tavrick::Json;

// nlohmann's operator== treats 1 and 1.0, or 0.0 and -0.0, as equal; the writer must keep
// integers integers and floats floats, and each float exact.
bool same_value(const Json& a, const Json& b) {
  // An integer keeps its value; -0 may come back as the unsigned 0.
  if (a.is_number_integer() && b.is_number_integer()) {
    return a == b;
  }
  if (a.type() != b.type()) {
    return false;
  }
  switch (a.type()) {
    case Json::value_t::number_float:
      return std::bit_cast<std::uint64_t>(a.get<double>()) ==
             std::bit_cast<std::uint64_t>(b.get<double>());
    case Json::value_t::array: {
      if (a.size() != b.size()) {
        return false;
      }
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (!same_value(a[i], b[i])) {
          return false;
        }
      }
      return true;
    }
    case Json::value_t::object: {
      if (a.size() != b.size()) {
        return false;
      }
      for (auto it = a.begin(), other = b.begin(); it != a.end(); ++it, ++other) {
        if (it.key() != other.key() || !same_value(it.value(), other.value())) {
          return false;
        }
      }
      return true;
    }
    default:
      return a == b;
  }
}

// The compact form has no white space outside strings.
bool is_compact(std::string_view text) {
  bool in_string = false;
  bool escaped = false;
  for (char c : text) {
    if (in_string) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        in_string = false;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        return false;  // control characters are always escaped
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      return false;
    }
  }
  return !in_string;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto value = tavrick::parse_json(input);
  if (!value) {
    return 0;
  }
  const std::string text = tavrick::json_text(*value);
  if (!is_compact(text)) {
    std::abort();
  }
  const auto again = tavrick::parse_json(text);
  if (!again || !same_value(*value, *again)) {
    std::abort();
  }
  std::string appended = "x";
  tavrick::append_json_text(appended, *again);
  if (std::string_view(appended).substr(1) != text) {
    std::abort();
  }
  return 0;
}

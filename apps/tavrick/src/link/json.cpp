#include "link/json.h"

#include <array>
#include <charconv>
#include <cmath>
#include <exception>

namespace tavrick {

namespace {

constexpr int k_max_depth = 128;

/// True when the arrays and objects of `text` nest deeper than k_max_depth. Counts brackets
/// outside strings; exact for valid JSON, and any text it misjudges is rejected by the parser
/// anyway. Checked before parsing so that a line of a million '[' never becomes a tree.
bool nests_too_deep(std::string_view text) {
  int depth = 0;
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
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > k_max_depth) {
        return true;
      }
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

void append_string(std::string& out, std::string_view text) {
  static constexpr char k_hex[] = "0123456789abcdef";
  out += '"';
  // Bytes that need no escape (almost all of them) are copied in runs, not one by one.
  std::size_t plain_from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte != '"' && byte != '\\') {
      continue;
    }
    out.append(text.substr(plain_from, i - plain_from));
    plain_from = i + 1;
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += "\\u00";
        out += k_hex[byte >> 4];
        out += k_hex[byte & 0x0f];
    }
  }
  out.append(text.substr(plain_from));
  out += '"';
}

template <typename Integer>
void append_integer(std::string& out, Integer value) {
  std::array<char, 24> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

/// Shortest round-trip digits, laid out as a plain decimal for exponents -5 to 15 and as
/// d[.ddd]e±x otherwise.
void append_float(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  // Scientific form of the shortest digits: "-d.ddde±xx".
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::scientific);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const auto e = text.find('e');
  std::string_view mantissa = text.substr(0, e);
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exponent);
  if (mantissa.front() == '-') {
    out += '-';
    mantissa.remove_prefix(1);
  }
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') {
      digits += c;
    }
  }
  const auto count = static_cast<int>(digits.size());
  if (exponent >= 0 && exponent <= 15) {
    if (count > exponent + 1) {
      out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
      out += '.';
      out.append(digits, static_cast<std::size_t>(exponent + 1));
    } else {
      out += digits;
      out.append(static_cast<std::size_t>(exponent + 1 - count), '0');
      out += ".0";
    }
  } else if (exponent < 0 && exponent >= -5) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    out += digits[0];
    if (count > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += exponent < 0 ? "e-" : "e+";
    append_integer(out, exponent < 0 ? -exponent : exponent);
  }
}

}  // namespace

std::optional<Json> parse_json(std::string_view text) {
  // The parser stops at a NUL byte as if the text ended there and skips a leading byte order
  // mark; neither can belong to a line of JSON text.
  if (text.find('\0') != std::string_view::npos || text.starts_with("\xEF\xBB\xBF") ||
      nests_too_deep(text)) {
    return std::nullopt;
  }
  try {
    Json value = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded()) {
      return std::nullopt;
    }
    return value;
  } catch (const std::exception&) {
    // Out of memory while building the tree: the line is as unusable as an invalid one.
    return std::nullopt;
  }
}

void append_json_string(std::string& out, std::string_view text) { append_string(out, text); }

void append_json_text(std::string& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::object: {
      // The tree's map orders keys with std::string's comparison, which compares bytes as
      // unsigned values: ascending byte order.
      out += '{';
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) {
          out += ',';
        }
        first = false;
        append_string(out, key);
        out += ':';
        append_json_text(out, member);
      }
      out += '}';
      break;
    }
    case Json::value_t::array: {
      out += '[';
      bool first = true;
      for (const auto& element : value) {
        if (!first) {
          out += ',';
        }
        first = false;
        append_json_text(out, element);
      }
      out += ']';
      break;
    }
    case Json::value_t::string:
      append_string(out, value.get_ref<const std::string&>());
      break;
    case Json::value_t::boolean:
      out += value.get<bool>() ? "true" : "false";
      break;
    case Json::value_t::number_integer:
      append_integer(out, value.get<std::int64_t>());
      break;
    case Json::value_t::number_unsigned:
      append_integer(out, value.get<std::uint64_t>());
      break;
    case Json::value_t::number_float:
      append_float(out, value.get<double>());
      break;
    case Json::value_t::null:
    case Json::value_t::binary:
    case Json::value_t::discarded:
      out += "null";
      break;
  }
}

std::string json_text(const Json& value) {
  std::string out;
  append_json_text(out, value);
  return out;
}

std::optional<std::uint64_t> id_member(const Json& object, std::string_view name) {
  if (!object.is_object()) {
    return std::nullopt;
  }
  const auto found = object.find(name);
  if (found == object.end()) {
    return std::nullopt;
  }
  if (found->is_number_unsigned()) {
    return found->get<std::uint64_t>();
  }
  if (found->is_number_integer() && found->get<std::int64_t>() >= 0) {
    return static_cast<std::uint64_t>(found->get<std::int64_t>());
  }
  return std::nullopt;
}

}  // namespace tavrick

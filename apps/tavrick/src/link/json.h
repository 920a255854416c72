#pragma once
// JSON values of the control port: parsing one line and writing the compact text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tavrick {

/// The value tree (objects keep their keys in ascending byte order).
using Json = nlohmann::json;

/// Parses `text` as exactly one JSON value with only white space around it; nothing when the
/// text is not JSON, holds invalid UTF-8 or nests deeper than 128 arrays and objects. Integers
/// stay unsigned or signed; numbers with a fraction or exponent are floats. Any thread.
[[nodiscard]] std::optional<Json> parse_json(std::string_view text);

/// Appends the compact text of `value`: sorted keys, the control port's string escapes, floats
/// in their shortest round-trip form (plain for exponents -5 to 15, else 1e+16), null for
/// non-finite floats. Any thread.
void append_json_text(std::string& out, const Json& value);

/// Appends `text` as a JSON string with the control port's escapes.
void append_json_string(std::string& out, std::string_view text);

/// The compact text of `value`.
[[nodiscard]] std::string json_text(const Json& value);

/// The member `name` of `object` as an id: a whole number from 0 to 2^64 - 1. The parser keeps
/// non-negative integers unsigned, but a value built in code from a signed integer is signed;
/// both count. Nothing when `object` is no object or the member is missing, negative, a float
/// (even 3.0) or of another type. Pure.
[[nodiscard]] std::optional<std::uint64_t> id_member(const Json& object, std::string_view name);

}  // namespace tavrick

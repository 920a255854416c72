#include "link/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tavrick {
namespace {

struct WriteCase {
  Json value;
  std::string_view text;
};

TEST(JsonText, WritesFloatsInShortestPlainOrExponentForm) {
  const WriteCase cases[] = {
      {5.0, "5.0"},                                  // integral value keeps ".0"
      {0.1, "0.1"},                                  // shortest digits, not 0.1000000000000000055
      {0.05, "0.05"},                                //
      {-3.5, "-3.5"},                                // sign
      {0.00001, "0.00001"},                          // exponent -5: still plain
      {0.000001, "1e-6"},                            // exponent -6: exponent form
      {2.5e-7, "2.5e-7"},                            // exponent form with a fraction
      {1e16, "1e+16"},                               // exponent 16: exponent form with "+"
      {1.5e300, "1.5e+300"},                         // three-digit exponent
      {9999999999999998.0, "9999999999999998.0"},    // exponent 15: all integer digits
      {1e15, "1000000000000000.0"},                  // exponent 15 padded with zeros
      {123456.789, "123456.789"},                    // point inside the digits
      {0.0, "0.0"},                                  // zero
      {-0.0, "-0.0"},                                // negative zero keeps its sign
      {0.30000000000000004, "0.30000000000000004"},  // 17 significant digits
      {5e-324, "5e-324"},                            // smallest subnormal
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},  // largest finite
      {std::nan(""), "null"},                                           // not a number
      {std::numeric_limits<double>::infinity(), "null"},                // infinity
      {-std::numeric_limits<double>::infinity(), "null"},               // negative infinity
  };
  for (const WriteCase& c : cases) {
    EXPECT_EQ(json_text(c.value), c.text) << c.text;
  }
}

TEST(JsonText, WritesFloatsThatReadBackAsTheSameValue) {
  const double values[] = {
      0.1,       1.0 / 3.0, 2.0 / 3.0, 1e-5,  1e-6,   123e-20, 9007199254740993.0,
      0.1 + 0.2, 1e22,      4.35,      2.675, -1e-300};
  for (double value : values) {
    const std::string text = json_text(value);
    const auto back = parse_json(text);
    ASSERT_TRUE(back.has_value()) << text;
    EXPECT_EQ(back->get<double>(), value) << text;
  }
}

TEST(JsonText, WritesIntegersStringsAndLiterals) {
  const WriteCase cases[] = {
      {Json(std::uint64_t{18446744073709551615u}), "18446744073709551615"},    // largest unsigned
      {Json(std::int64_t{-9223372036854775807 - 1}), "-9223372036854775808"},  // smallest signed
      {Json(0), "0"},                                               // zero, no leading zeros
      {Json(-42), "-42"},                                           // negative
      {Json(true), "true"},                                         //
      {Json(false), "false"},                                       //
      {Json(nullptr), "null"},                                      //
      {Json("\"\\\t\xE1\xBA\xA5"), "\"\\\"\\\\\\t\xE1\xBA\xA5\""},  // quote, backslash, tab, ấ raw
      {Json("\b\f\n\r"), "\"\\b\\f\\n\\r\""},                       // short escapes
      {Json(std::string("\x00\x01\x1f", 3)), "\"\\u0000\\u0001\\u001f\""},  // other controls
      {Json("/\x7f"), "\"/\x7f\""},                                         // slash and DEL raw
      {Json::array({1, "a", nullptr}), "[1,\"a\",null]"},                   // array
      {Json::array(), "[]"},                                                // empty array
      {Json::object(), "{}"},                                               // empty object
  };
  for (const WriteCase& c : cases) {
    EXPECT_EQ(json_text(c.value), c.text) << c.text;
  }
}

TEST(JsonText, SortsKeysByTheirBytesAtEveryLevel) {
  Json value = Json::object();
  value["values"] = Json::object();
  value["values"]["z"] = 1;
  value["values"]["\xC3\xA9"] = 2;  // é: its first byte 0xC3 sorts after every ASCII letter
  value["values"]["Z"] = 3;
  value["id"] = 7;
  value["list"] = Json::array({Json{{"delta", 1}, {"control", 2}}});
  EXPECT_EQ(json_text(value),
            "{\"id\":7,\"list\":[{\"control\":2,\"delta\":1}],"
            "\"values\":{\"Z\":3,\"z\":1,\"\xC3\xA9\":2}}");
}

TEST(JsonText, WritesAParsedBindingTextInSortedOrder) {
  const auto value = parse_json(R"({"view":"detail","right":"edit"})");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(json_text(*value), R"({"right":"edit","view":"detail"})");
}

TEST(JsonText, AppendsToExistingText) {
  std::string out = "prefix:";
  append_json_text(out, Json{{"a", 1}});
  EXPECT_EQ(out, "prefix:{\"a\":1}");
}

std::string nested_arrays(int depth) {
  return std::string(static_cast<std::size_t>(depth), '[') +
         std::string(static_cast<std::size_t>(depth), ']');
}

std::string nested_objects(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) {
    text += "{\"a\":";
  }
  text += "1";
  text.append(static_cast<std::size_t>(depth), '}');
  return text;
}

TEST(ParseJson, AcceptsOneValueSurroundedByWhiteSpace) {
  const std::string_view accepted[] = {
      "{\"id\":4,\"ok\":true}\r",  // carriage return left by a CR LF line end
      " \t[1,2]\r\n ",             // white space of every kind around the value
      "\"\xE1\xBA\xA5\"",          // a valid multi-byte character
      "\"\\ud83d\\ude00\"",        // escaped surrogate pair
      "-0",                        // a lone number
      "null",                      // a lone literal
  };
  for (std::string_view text : accepted) {
    EXPECT_TRUE(parse_json(text).has_value()) << text;
  }
  EXPECT_EQ(nested_arrays(128).size(), 256u);
  EXPECT_TRUE(parse_json(nested_arrays(128)).has_value());
  EXPECT_TRUE(parse_json(nested_objects(128)).has_value());
}

TEST(ParseJson, RejectsEverythingElse) {
  const std::string rejected[] = {
      "",                                      // empty line
      "   \r",                                 // white space only
      "{\"a\":1}{\"b\":2}",                    // two objects on one line
      "{\"a\":1} x",                           // text after the value
      "nope",                                  // not JSON
      "{\"a\":1",                              // cut off
      "\"\xFF\"",                              // invalid UTF-8 byte in a string
      "\"\xC3\"",                              // truncated UTF-8 sequence
      "\"\xED\xA0\x80\"",                      // encoded surrogate
      "\"\\ud800\"",                           // lone escaped surrogate
      std::string("1\0 2", 4),                 // NUL byte: not the end of the text
      std::string("{}\0", 3),                  // trailing NUL byte
      "\xEF\xBB\xBF{}",                        // byte order mark
      "\x0c{}",                                // form feed is not JSON white space
      "// c\n{}",                              // comments are not JSON
      "1e400",                                 // number out of range
      nested_arrays(129),                      // one level too deep
      nested_objects(129),                     // one level too deep, objects
      "[{\"a\":" + nested_arrays(127) + "}]",  // 129 levels of mixed containers
      std::string(1 << 20, '['),               // a million opening brackets
  };
  for (const std::string& text : rejected) {
    EXPECT_FALSE(parse_json(text).has_value()) << text.substr(0, 40);
  }
}

TEST(ParseJson, BracketsInsideStringsDoNotCountAsNesting) {
  const std::string text = "[\"" + std::string(200, '[') + "\\\"" + std::string(200, '{') + "\"]";
  const auto value = parse_json(text);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ((*value)[0].get<std::string>().size(), 401u);
}

TEST(ParseJson, KeepsIntegerKinds) {
  const auto value = parse_json(R"({"u":3,"s":-3,"f":3.0,"e":3e0,"big":18446744073709551615})");
  ASSERT_TRUE(value.has_value());
  EXPECT_TRUE((*value)["u"].is_number_unsigned());
  EXPECT_TRUE((*value)["s"].is_number_integer());
  EXPECT_FALSE((*value)["s"].is_number_unsigned());
  EXPECT_TRUE((*value)["f"].is_number_float());
  EXPECT_TRUE((*value)["e"].is_number_float());
  EXPECT_EQ((*value)["big"].get<std::uint64_t>(), 18446744073709551615u);
}

}  // namespace
}  // namespace tavrick

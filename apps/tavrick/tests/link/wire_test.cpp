#include "link/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_capture.h"

namespace tavrick {
namespace {

TEST(CommandParams, KeepsOnlyObjectsWithMembers) {
  struct Case {
    Json params;
    std::string_view text;
  };
  const Case cases[] = {
      {Json::object(), R"({"command":"develop.endInteraction"})"},  // empty object
      {Json{{"delta", 0.05}}, R"({"command":"develop.endInteraction","params":{"delta":0.05}})"},
      {Json(5), R"({"command":"develop.endInteraction"})"},           // number
      {Json::array({1}), R"({"command":"develop.endInteraction"})"},  // array
      {Json(nullptr), R"({"command":"develop.endInteraction"})"},     // null
  };
  for (const Case& c : cases) {
    EXPECT_EQ(json_text(command_params("develop.endInteraction", c.params)), c.text);
  }
}

TEST(RequestLine, MatchesTheWorkedExamples) {
  EXPECT_EQ(request_line(3, "engine.execute", command_params("develop.endInteraction", {})),
            "{\"id\":3,\"method\":\"engine.execute\","
            "\"params\":{\"command\":\"develop.endInteraction\"}}\n");
  EXPECT_EQ(request_line(4, "ui.inspect", Json::object()),
            "{\"id\":4,\"method\":\"ui.inspect\",\"params\":{}}\n");
}

TEST(RequestLine, SortsParameterKeysAndEscapesTheMethod) {
  Json params = Json::object();
  params["values"] = Json{{"mask.exposure", 0.1}};
  params["id"] = 7;
  EXPECT_EQ(request_line(18446744073709551615u, "a\"b", command_params("mask.adjust", params)),
            "{\"id\":18446744073709551615,\"method\":\"a\\\"b\",\"params\":{\"command\":"
            "\"mask.adjust\",\"params\":{\"id\":7,\"values\":{\"mask.exposure\":0.1}}}}\n");
}

TEST(ReplyId, AcceptsOnlyNonNegativeIntegers) {
  struct Case {
    std::string_view line;
    std::optional<std::uint64_t> id;
  };
  const Case cases[] = {
      {R"({"id":4})", 4},                                         // plain
      {R"({"id":0})", 0},                                         // zero
      {R"({"id":18446744073709551615})", 18446744073709551615u},  // largest
      {R"({"id":18446744073709551616})", std::nullopt},           // too large: a float
      {R"({"id":3.0})", std::nullopt},                            // fraction
      {R"({"id":3e0})", std::nullopt},                            // exponent
      {R"({"id":-3})", std::nullopt},                             // negative
      {R"({"id":"3"})", std::nullopt},                            // text
      {R"({"ok":true})", std::nullopt},                           // missing
      {R"([3])", std::nullopt},                                   // not an object
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reply_id(*parse_json(c.line)), c.id) << c.line;
  }
  EXPECT_EQ(reply_id(Json{{"id", std::int64_t{5}}}), 5u);  // a signed value built in code
}

struct WireLog : testing::Test {
  test::LogCapture log{test::Keep::all};
};

TEST_F(WireLog, JudgesRepliesAndLogsEachRefusalOnce) {
  struct Case {
    std::string_view reply;
    std::optional<std::string_view> result;  // compact text of the result
    std::optional<std::string_view> logged;
  };
  const Case cases[] = {
      {R"({"id":2,"ok":true,"result":{"b":1,"a":2}})", R"({"a":2,"b":1})", std::nullopt},
      {R"({"id":2,"ok":true,"result":null})", "null", std::nullopt},  // present and null
      {R"({"id":2,"ok":true})", std::nullopt, std::nullopt},          // no result
      {R"({"id":2,"result":5})", "5", std::nullopt},                  // no "ok"
      {R"({"id":2,"ok":"false","result":5})", "5", std::nullopt},     // "ok" not a boolean
      {R"({"id":2,"ok":false,"error":"bad \"x\""})", std::nullopt,
       R"(✗ Sorvic báo lỗi: "bad \"x\"")"},  // string error keeps quotes
      {R"({"id":2,"ok":false,"error":{"z":1,"a":[1.0]},"result":5})", std::nullopt,
       R"(✗ Sorvic báo lỗi: {"a":[1.0],"z":1})"},                          // error as compact JSON
      {R"({"id":2,"ok":false})", std::nullopt, "✗ Sorvic báo lỗi: null"},  // no error member
      {R"([1])", std::nullopt, std::nullopt},                              // not an object
  };
  for (const Case& c : cases) {
    (void)log.take();
    const auto result = judge_reply(*parse_json(c.reply));
    ASSERT_EQ(result.has_value(), c.result.has_value()) << c.reply;
    if (result) {
      EXPECT_EQ(json_text(*result), *c.result) << c.reply;
    }
    if (c.logged) {
      EXPECT_EQ(log.lines(), std::vector<std::string>{std::string(*c.logged)}) << c.reply;
    } else {
      EXPECT_TRUE(log.lines().empty()) << c.reply;
    }
  }
}

TEST(Refusal, IsOnlyAnObjectWithOkFalse) {
  EXPECT_TRUE(is_refusal(*parse_json(R"({"ok":false})")));
  EXPECT_FALSE(is_refusal(*parse_json(R"({"ok":0})")));
  EXPECT_FALSE(is_refusal(*parse_json(R"({"ok":null})")));
  EXPECT_FALSE(is_refusal(*parse_json(R"([{"ok":false}])")));
  EXPECT_FALSE(is_refusal(*parse_json("false")));
}

std::vector<std::string> split(std::initializer_list<std::string_view> chunks, bool finish,
                               std::size_t max_line = LineSplitter::k_default_max_line) {
  LineSplitter splitter(max_line);
  std::vector<std::string> lines;
  const auto keep = [&lines](std::string_view line) { lines.emplace_back(line); };
  for (std::string_view chunk : chunks) {
    splitter.feed(chunk, keep);
  }
  if (finish) {
    splitter.finish(keep);
  }
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineSplitter, CutsAtLineFeedsAcrossChunks) {
  EXPECT_EQ(split({"a\nb", "c\n", "\nd"}, false), (Lines{"a", "bc", ""}));      // d waits
  EXPECT_EQ(split({"a\nb", "c\n", "\nd"}, true), (Lines{"a", "bc", "", "d"}));  // final line
  EXPECT_EQ(split({"x\r\n"}, true), (Lines{"x\r"}));      // carriage return stays
  EXPECT_EQ(split({"x\n"}, true), (Lines{"x"}));          // nothing after the last LF
  EXPECT_EQ(split({"", "\n\n"}, true), (Lines{"", ""}));  // empty chunk, empty lines
  EXPECT_EQ(split({std::string_view("a\0b\n", 4)}, true), (Lines{std::string("a\0b", 3)}));
}

TEST(LineSplitter, DiscardsAnOverlongLineUpToItsLineFeed) {
  // With a limit of 4 bytes: "12345" is dropped whole, also when it arrives in pieces.
  EXPECT_EQ(split({"1234\n12345\nok\n"}, true, 4), (Lines{"1234", "ok"}));
  EXPECT_EQ(split({"12", "34", "5", "67\n", "ok"}, true, 4), (Lines{"ok"}));
  EXPECT_EQ(split({"123456789"}, true, 4), Lines{});  // never ended: nothing at the end either
  EXPECT_EQ(split({"12", "34", "\n"}, true, 4), (Lines{"1234"}));  // exactly the limit is kept
}

}  // namespace
}  // namespace tavrick

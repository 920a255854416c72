// The reply reader's path for a stream of bytes from the application: cut into lines, each line
// parsed and judged. The lines must not depend on how the stream was cut into reads, no line
// holds a line feed or exceeds the length limit, and judging agrees with the reply's members.
//
// Input: byte 0 chooses the read sizes, byte 1 the line length limit (0: the default), the rest
// is the stream.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/log.h"
#include "link/json.h"
#include "link/wire.h"

namespace {

using tavrick::Json;

std::vector<std::string> cut(std::string_view stream, std::size_t max_line, std::uint8_t reads) {
  tavrick::LineSplitter splitter(max_line);
  std::vector<std::string> lines;
  const auto keep = [&](std::string_view line) { lines.emplace_back(line); };
  std::size_t size = 1 + reads % 7;
  while (!stream.empty()) {
    const auto piece = stream.substr(0, size);
    splitter.feed(piece, keep);
    stream.remove_prefix(piece.size());
    size = size * 3 % 11 + 1;  // read sizes from 1 to 11 bytes, in a pattern chosen by byte 0
  }
  splitter.finish(keep);
  return lines;
}

void judge(std::string_view line) {
  const auto value = tavrick::parse_json(line);
  if (!value) {
    return;
  }
  const auto id = tavrick::reply_id(*value);
  if (id && !(value->is_object() && value->contains("id"))) {
    std::abort();
  }
  if (!value->is_object()) {
    if (tavrick::is_refusal(*value)) {
      std::abort();
    }
    return;
  }
  const bool refused = tavrick::is_refusal(*value);
  const auto ok = value->find("ok");
  if (refused != (ok != value->end() && ok->is_boolean() && !ok->get<bool>())) {
    std::abort();
  }
  if (refused && !tavrick::refusal_message(*value).starts_with("✗ Sorvic báo lỗi: ")) {
    std::abort();
  }
  const auto result = tavrick::judge_reply(*value);
  const auto member = value->find("result");
  const bool expected = !refused && member != value->end();
  if (result.has_value() != expected || (result && *result != *member)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavrick::set_log_capture([](std::string_view) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const std::size_t max_line =
      data[1] == 0 ? tavrick::LineSplitter::k_default_max_line : std::size_t{data[1]};
  const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);
  const auto lines = cut(stream, max_line, data[0]);
  // One read of the whole stream gives the same lines.
  tavrick::LineSplitter whole(max_line);
  std::vector<std::string> at_once;
  const auto keep = [&](std::string_view line) { at_once.emplace_back(line); };
  whole.feed(stream, keep);
  whole.finish(keep);
  if (lines != at_once) {
    std::abort();
  }
  for (const auto& line : lines) {
    if (line.find('\n') != std::string::npos || line.size() > max_line) {
      std::abort();
    }
    judge(line);
  }
  return 0;
}

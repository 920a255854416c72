#include "midi/short_message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct LengthCase {
  std::uint8_t status;
  std::size_t length;
};

constexpr LengthCase k_length_cases[] = {
    {0x80, 3},             // note off
    {0x9F, 3},             // note on, channel 16
    {0xB0, 3},             // control change
    {0xBF, 3},             // last control change channel
    {0xC0, 2},             // program change
    {0xDF, 2},             // channel pressure, channel 16
    {0xE0, 3},             // pitch bend
    {0xEF, 3}, {0xF0, 1},  // system exclusive start: its data comes in long buffers
    {0xF1, 2},             // time code quarter frame
    {0xF2, 3},             // song position
    {0xF3, 2},             // song select
    {0xF6, 1},             // tune request
    {0xF8, 1},             // timing clock
    {0xFE, 1},             // active sensing
    {0xFF, 1},             // reset
};

TEST(ShortMessageTest, LengthFollowsTheStatus) {
  for (const LengthCase& c : k_length_cases) {
    EXPECT_EQ(tavrick::short_message_length(c.status), c.length) << int{c.status};
  }
}

struct UnpackCase {
  std::uint32_t packed;
  std::vector<std::uint8_t> bytes;  // empty: dropped
};

const UnpackCase k_unpack_cases[] = {
    {0x000121B0, {0xB0, 0x21, 0x01}},  // a knob turn, one detent clockwise
    {0x7F7F2190, {0x90, 0x21, 0x7F}},  // bits above the third byte are not taken
    {0x000005C3, {0xC3, 0x05}},        // program change: two bytes
    {0x123456F8, {0xF8}},              // timing clock: one byte
    {0x0000217F, {}},                  // no status bit: dropped
    {0x00000000, {}},
};

TEST(ShortMessageTest, UnpacksInWireOrder) {
  for (const UnpackCase& c : k_unpack_cases) {
    const auto message = tavrick::unpack_short_message(c.packed);
    if (c.bytes.empty()) {
      EXPECT_FALSE(message) << std::hex << c.packed;
      continue;
    }
    ASSERT_TRUE(message) << std::hex << c.packed;
    const auto view = message->view();
    EXPECT_EQ(std::vector<std::uint8_t>(view.begin(), view.end()), c.bytes) << std::hex << c.packed;
  }
}

}  // namespace

#include <cstdint>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "driver/control_event.h"

namespace tavrick {
namespace {

TEST(DecodeMidiTest, Messages) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::optional<ControlEvent> expected;
  };
  const Case k_cases[] = {
      {{0xB0, 0x21, 0x01}, ControlEvent{EventKind::Rotate, 33, 1}},       // one detent clockwise
      {{0xB0, 0x21, 0x7F}, ControlEvent{EventKind::Rotate, 33, -1}},      // one counter-clockwise
      {{0xB0, 0x21, 0x40}, ControlEvent{EventKind::Rotate, 33, -64}},     // most counter-clockwise
      {{0xB0, 0x21, 0x3F}, ControlEvent{EventKind::Rotate, 33, 63}},      // most clockwise
      {{0xB0, 0x21, 0x00}, ControlEvent{EventKind::Rotate, 33, 0}},       // a turn of nothing
      {{0xB5, 0x21, 0x01}, ControlEvent{EventKind::Rotate, 33, 1}},       // channel 6 alike
      {{0xBF, 0x30, 0x41}, ControlEvent{EventKind::Rotate, 48, -63}},     // channel 16
      {{0xB0, 0xA1, 0x81}, ControlEvent{EventKind::Rotate, 33, 1}},       // high bits masked
      {{0x90, 0x4C, 0x7F}, ControlEvent{EventKind::Press, 76, 0}},        // note on
      {{0x90, 0x4C, 0x01}, ControlEvent{EventKind::Press, 76, 0}},        // velocity ignored
      {{0x90, 0x4C, 0x00}, ControlEvent{EventKind::Release, 76, 0}},      // note on, velocity 0
      {{0x90, 0x4C, 0x80}, ControlEvent{EventKind::Release, 76, 0}},      // velocity masked to 0
      {{0x9A, 0x6E, 0x7F}, ControlEvent{EventKind::Press, 110, 0}},       // another channel
      {{0x80, 0x4C, 0x40}, ControlEvent{EventKind::Release, 76, 0}},      // note off
      {{0x80, 0x4C, 0x00}, ControlEvent{EventKind::Release, 76, 0}},      // note off, velocity 0
      {{0x90, 0x4C, 0x7F, 0x00}, ControlEvent{EventKind::Press, 76, 0}},  // extra bytes ignored
      {{0xC0, 0x05}, std::nullopt},                                       // program change
      {{0xD0, 0x40}, std::nullopt},                                       // channel pressure
      {{0xF8}, std::nullopt},                                             // clock tick
      {{}, std::nullopt},                                                 // empty
      {{0xB0, 0x21}, std::nullopt},                                       // cut short
      {{0xE0, 0x00, 0x40}, std::nullopt},                                 // pitch bend
      {{0xA0, 0x4C, 0x10}, std::nullopt},                                 // key pressure
      {{0xC0, 0x05, 0x00}, std::nullopt},                                 // program change, 3 bytes
      {{0xF0, 0x7E, 0x7F, 0xF7}, std::nullopt},                           // system exclusive
  };
  for (const Case& c : k_cases) {
    EXPECT_EQ(decode_midi(c.bytes), c.expected) << testing::PrintToString(c.bytes);
  }
}

}  // namespace
}  // namespace tavrick

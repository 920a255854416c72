#include "console/commands.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using tavrick::ControlEvent;
using tavrick::EventKind;

struct LineCase {
  ControlEvent event;
  std::string_view line;
};

const LineCase k_line_cases[] = {
    {{EventKind::Rotate, 33, 1}, "NÚM  CC 33 Exposure  delta +1"},     // labelled knob
    {{EventKind::Rotate, 43, -2}, "NÚM  CC 43   delta -2"},            // no label: three spaces
    {{EventKind::Rotate, 33, 0}, "NÚM  CC 33 Exposure  delta +0"},     // zero carries a sign
    {{EventKind::Rotate, 33, -64}, "NÚM  CC 33 Exposure  delta -64"},  // the largest left turn
    {{EventKind::Press, 33, 0}, "NÚT  note 33 Nhấn Exposure  ↓"},      // knob push
    {{EventKind::Release, 33, 0}, "NÚT  note 33 Nhấn Exposure  ↑"},
    {{EventKind::Press, 120, 0}, "NÚT  note 120   ↓"},  // unknown button
};

TEST(WatchLineTest, OneLinePerEvent) {
  for (const LineCase& c : k_line_cases) {
    EXPECT_EQ(tavrick::watch_line(c.event), c.line);
  }
}

}  // namespace

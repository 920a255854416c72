// Sequences of surface messages, UI snapshots and passing time through decode_midi and
// handle_event, with the event loop's deadline and repeat steps after each, against a link to a
// local port where nothing listens (every request is refused at once). After every step the
// driver state must still be coherent.
//
// The input is a list of 4-byte records {op, b0, b1, b2}; op % 8 chooses:
//   0-4  the MIDI message b0 b1 b2          5  a short message of b0 % 3 bytes
//   6    b0 × 5 ms pass                     7  a UI snapshot: page b0 % 8, mask b1, photo b2

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "desktop/clock.h"
#include "desktop/log.h"
#include "driver/actions.h"
#include "driver/control_event.h"
#include "driver/driver_state.h"
#include "driver/input.h"
#include "driver/ui_state.h"
#include "link/link.h"
#include "support/manual_clock.h"

namespace {

using namespace std::chrono_literals;

using tavrick::test::ManualClock;

// A port bound but not listening: connecting to it is refused at once, and nobody else can take
// it while the fuzzer runs.
std::uint16_t closed_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::abort();
  }
  return ntohs(address.sin_port);
}

std::shared_ptr<tavrick::Link> g_link;

tavrick::UiState snapshot(std::uint8_t page, std::uint8_t mask, std::uint8_t photo) {
  tavrick::UiState ui;
  switch (page % 8) {
    case 1:
      ui.right = "crop";
      break;
    case 2:
      ui.right = "masking";
      break;
    case 3:
      ui.right = "remove";
      break;
    case 4:
      ui.right = "redEye";
      break;
    case 5:
      ui.tool = "wbPicker";
      break;
    case 6:
      ui.view = "squareGrid";
      break;
    case 7:
      ui.view = "compare";
      break;
    default:
      break;
  }
  ui.thumbSize = 80.0 + photo * 2.0;
  if (mask % 2 == 1) {
    ui.activeMask = mask / 2;
  }
  if (photo % 2 == 1) {
    ui.active = photo;
  }
  return ui;
}

void check(const tavrick::DriverState& state) {
  const bool coherent =
      state.interaction.has_value() == state.interaction_deadline.has_value() &&
      (!state.mask_cache || state.mask_cache->values.is_object()) &&
      (!state.press_track || (state.press_track->binding != nullptr &&
                              tavrick::is_repeatable(state.press_track->binding->action))) &&
      tavrick::current_layer(state) <= 3;
  if (!coherent) {
    std::abort();
  }
}

// Steps 7 and 8 of the event loop, after every message and time-out.
void after_message(tavrick::DriverState& state) {
  if (state.interaction_deadline && state.now() >= *state.interaction_deadline) {
    tavrick::end_interaction(state);
  }
  tavrick::repeat_tick(state, state.now());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavrick::set_log_capture([](std::string_view) {});
  g_link = tavrick::Link::create(closed_port());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ManualClock clock;
  tavrick::DriverState state(g_link, clock);
  for (std::size_t at = 0; at + 4 <= size; at += 4) {
    const std::uint8_t op = data[at] % 8;
    const std::array<std::uint8_t, 3> bytes = {data[at + 1], data[at + 2], data[at + 3]};
    if (op <= 5) {
      const std::size_t length = op == 5 ? bytes[0] % 3 : 3;
      if (const auto event = tavrick::decode_midi(std::span(bytes).first(length))) {
        tavrick::handle_event(state, *event);
      }
    } else if (op == 6) {
      clock.advance(tavrick::Millis(bytes[0] * 5));
    } else if (!state.ui_changed_at || clock.now() > *state.ui_changed_at) {
      state.ui = snapshot(bytes[0], bytes[1], bytes[2]);
    }
    after_message(state);
    check(state);
  }
  tavrick::end_interaction(state);
  check(state);
  return 0;
}

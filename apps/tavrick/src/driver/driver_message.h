#pragma once
// The element of the driver channel: a UI snapshot from the poller or a surface event.

#include <variant>

#include "desktop/clock.h"
#include "driver/channel.h"
#include "driver/control_event.h"
#include "driver/ui_state.h"

namespace tavrick {

struct DriverMessage {
  /// A snapshot and the instant its poll started (taken before the request was sent).
  struct Ui {
    UiState state;
    Instant poll_started;
  };
  /// A decoded surface event.
  struct Midi {
    ControlEvent event;
  };
  std::variant<Ui, Midi> value;
};

using DriverSender = Sender<DriverMessage>;
using DriverReceiver = Receiver<DriverMessage>;

}  // namespace tavrick

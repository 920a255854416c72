#pragma once
// The two engine threads: the event loop that owns the driver state, and the UI-state poller.

#include <memory>

#include "desktop/clock.h"
#include "driver/driver_message.h"
#include "driver/driver_state.h"

namespace tavrick {

class Link;

/// How long the event loop waits for the next message at `now`: 100 ms, or less when the repeat
/// of a held button is due sooner (zero when it is already due). Event-loop thread.
[[nodiscard]] Instant::duration receive_wait(const DriverState& state, Instant now);

/// Applies a UI snapshot whose poll started at `poll_started`, unless the bridge changed the UI
/// itself at or after that instant (the snapshot may then predate the change). Event-loop thread.
void apply_snapshot(DriverState& state, UiState snapshot, Instant poll_started);

/// Body of the event-loop thread: creates the driver state, handles messages, ends interactions
/// on time and drives repeats, until every sender of the channel is gone.
void event_loop(DriverReceiver receiver, std::shared_ptr<Link> link,
                const Clock& clock = steady_clock());

/// Body of the UI-state poller thread: polls ui.inspect and posts snapshots until a send fails.
void ui_poller(std::shared_ptr<Link> link, DriverSender sender,
               const Clock& clock = steady_clock());

}  // namespace tavrick

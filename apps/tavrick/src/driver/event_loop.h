#pragma once
// The two engine threads: the event loop that owns the driver state, and the UI-state poller.

#include <memory>

#include "driver/clock.h"
#include "driver/driver_message.h"

namespace tavrick {

class Link;

/// Body of the event-loop thread: creates the driver state, handles messages, ends interactions
/// on time and drives repeats, until every sender of the channel is gone.
void event_loop(DriverReceiver receiver, std::shared_ptr<Link> link,
                const Clock& clock = steady_clock());

/// Body of the UI-state poller thread: polls ui.inspect and posts snapshots until a send fails.
void ui_poller(std::shared_ptr<Link> link, DriverSender sender, const Clock& clock = steady_clock());

}  // namespace tavrick

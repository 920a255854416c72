#include "driver/event_loop.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>
#include <variant>

#include "driver/actions.h"
#include "driver/input.h"
#include "driver/ui_state.h"
#include "link/link.h"

namespace tavrick {

namespace {

constexpr Millis k_longest_wait{100};
constexpr Millis k_poll_timeout{2000};
constexpr Millis k_poll_pause{500};

void handle_message(DriverState& state, DriverMessage message) {
  if (auto* midi = std::get_if<DriverMessage::Midi>(&message.value)) {
    handle_event(state, midi->event);
    return;
  }
  auto& ui = std::get<DriverMessage::Ui>(message.value);
  apply_snapshot(state, std::move(ui.state), ui.poll_started);
}

}  // namespace

Instant::duration receive_wait(const DriverState& state, Instant now) {
  const Instant::duration longest = k_longest_wait;
  if (!state.press_track) {
    return longest;
  }
  const Instant::duration until_repeat = state.press_track->next_repeat - now;
  return std::clamp(until_repeat, Instant::duration::zero(), longest);
}

void apply_snapshot(DriverState& state, UiState snapshot, Instant poll_started) {
  if (state.ui_changed_at && poll_started <= *state.ui_changed_at) {
    return;
  }
  state.ui = std::move(snapshot);
}

void event_loop(DriverReceiver receiver, std::shared_ptr<Link> link, const Clock& clock) {
  DriverState state(std::move(link), clock);
  for (;;) {
    const auto wait = receive_wait(state, clock.now());
    // The channel waits in real time; `clock` only decides how long (tests move it by hand).
    auto received = receiver.receive_until(std::chrono::steady_clock::now() + wait);
    if (std::holds_alternative<Disconnected>(received)) {
      break;
    }
    if (auto* message = std::get_if<DriverMessage>(&received)) {
      handle_message(state, std::move(*message));
    }
    if (state.interaction_deadline && clock.now() >= *state.interaction_deadline) {
      end_interaction(state);
    }
    repeat_tick(state, clock.now());
  }
  end_interaction(state);
}

void ui_poller(std::shared_ptr<Link> link, DriverSender sender, const Clock& clock) {
  for (;;) {
    const Instant poll_started = clock.now();
    if (std::optional<Json> result = link->call("ui.inspect", Json::object(), k_poll_timeout)) {
      if (std::optional<UiState> snapshot = parse_ui_state(*result)) {
        DriverMessage message{DriverMessage::Ui{std::move(*snapshot), poll_started}};
        if (!sender.send(std::move(message))) {
          return;
        }
      }
    }
    std::this_thread::sleep_for(k_poll_pause);
  }
}

}  // namespace tavrick

#include "driver/event_loop.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "driver/channel.h"
#include "driver/driver_message.h"
#include "support/engine_fixture.h"

namespace tavrick {
namespace {

using std::chrono::milliseconds;
using test::ui_showing;
using ::testing::ElementsAre;
using ::testing::Ge;
using ::testing::SizeIs;

constexpr milliseconds k_patience{10000};

DriverMessage midi(EventKind kind, std::uint8_t number, std::int32_t delta = 0) {
  return DriverMessage{DriverMessage::Midi{ControlEvent{kind, number, delta}}};
}

DriverMessage snapshot(UiState ui, Instant poll_started) {
  return DriverMessage{DriverMessage::Ui{std::move(ui), poll_started}};
}

// The event loop on a thread of its own, fed through `sender`. Ending it means dropping every
// sender; the test then waits for the thread.
class EventLoopTest : public test::EngineTest {
 protected:
  EventLoopTest() {
    auto [first_sender, receiver] = make_channel<DriverMessage>();
    sender = std::move(first_sender);
    loop = std::thread(event_loop, std::move(receiver), link, std::cref(clock));
  }
  ~EventLoopTest() override {
    sender.reset();
    if (loop.joinable()) {
      loop.join();
    }
  }

  void post(DriverMessage message) { ASSERT_TRUE(sender.send(std::move(message))); }

  void stop() {
    sender.reset();
    loop.join();
  }

  /// Waits until the simulator has received `count` requests of `command`.
  void await(std::string_view command, std::size_t count) {
    const std::string needle = std::string("\"").append(command).append("\"");
    ASSERT_THAT(sim->wait_for_matching(needle, count, k_patience), SizeIs(Ge(count))) << command;
  }

  DriverSender sender;
  std::thread loop;
};

TEST_F(EventLoopTest, InteractionEndsWhenItsDeadlinePassesWithoutMessages) {
  post(midi(EventKind::Rotate, 33, 1));
  await("develop.adjust", 1);

  // No message follows: only the loop's receive time-out can notice the deadline.
  clock.advance(milliseconds(600));
  await("develop.endInteraction", 1);

  stop();
  EXPECT_THAT(commands(sent()),
              ElementsAre("develop.beginInteraction", "develop.adjust", "develop.endInteraction"));
}

TEST_F(EventLoopTest, RunsUntilEverySenderIsGoneThenEndsTheInteraction) {
  DriverSender second = sender;
  post(midi(EventKind::Rotate, 33, 1));
  await("develop.adjust", 1);

  sender.reset();
  ASSERT_TRUE(second.send(midi(EventKind::Rotate, 33, -1)));
  await("develop.adjust", 2);

  second.reset();
  loop.join();
  EXPECT_THAT(commands(sent()), ElementsAre("develop.beginInteraction", "develop.adjust",
                                            "develop.adjust", "develop.endInteraction"));
}

TEST_F(EventLoopTest, SnapshotsFromPollsStartedBeforeTheBridgeChangedTheUiAreDiscarded) {
  // The crop-angle knob opens the crop panel when it is not open yet, and marks the UI changed.
  const Instant turned = clock.now();
  post(midi(EventKind::Rotate, 48, 1));
  await("develop.adjust", 1);

  post(snapshot(ui_showing(Page::loupe), turned - milliseconds(100)));
  post(snapshot(ui_showing(Page::loupe), turned));
  post(midi(EventKind::Rotate, 48, 1));  // crop still open: no second panel.crop
  await("develop.adjust", 2);

  post(snapshot(ui_showing(Page::loupe), turned + milliseconds(1)));
  post(midi(EventKind::Rotate, 48, 1));  // the panel was reported closed: open it again
  await("develop.adjust", 3);

  stop();
  EXPECT_THAT(commands(sent()),
              ElementsAre("panel.crop", "develop.beginInteraction", "develop.adjust",
                          "develop.adjust", "develop.endInteraction", "panel.crop",
                          "develop.beginInteraction", "develop.adjust", "develop.endInteraction"));
}

TEST_F(EventLoopTest, HeldArrowRepeatsWithoutFurtherMessages) {
  post(snapshot(ui_showing(Page::library), clock.now()));
  post(midi(EventKind::Press, 76));
  await("ui.key", 1);

  clock.advance(milliseconds(400));
  await("ui.key", 2);
  clock.advance(milliseconds(100));
  await("ui.key", 3);

  post(midi(EventKind::Release, 76));
  stop();
  EXPECT_THAT(commands(sent()), ElementsAre("ui.key", "ui.key", "ui.key"));
  EXPECT_THAT(log.lines(),
              ElementsAre("giữ ↑ 400 ms chưa nhả → lặp", "nhả ↑ sau 500 ms (lặp 2 lần)"));
}

TEST_F(EventLoopTest, PageFollowsThePolledUi) {
  // The poller posts into a channel of its own, which the test passes on to the loop: each of
  // the two threads can then be ended (in the bridge neither ever ends).
  auto [poller_sender, polled] = make_channel<DriverMessage>();
  std::thread poller(ui_poller, link, std::move(poller_sender), std::cref(clock));
  const auto show = [&](std::string_view page) {
    sim->set_page(page);
    (void)sim->take_requests();
    // The first poll received after the change is answered with it, and its snapshot is queued
    // before the poller asks again.
    await("ui.inspect", 2);
    for (;;) {
      auto received = polled.receive_until(std::chrono::steady_clock::now());
      auto* message = std::get_if<DriverMessage>(&received);
      if (message == nullptr) {
        break;
      }
      post(std::move(*message));
    }
  };

  show("library");
  post(midi(EventKind::Rotate, 33, 1));
  await("develop.quickAdjust", 1);

  show("crop");
  post(midi(EventKind::Press, 51));
  await("crop.aspect", 1);

  show("loupe");
  post(midi(EventKind::Rotate, 33, 1));
  await("develop.beginInteraction", 1);

  { DriverReceiver gone = std::move(polled); }
  poller.join();
}

class EventLoopStepTest : public test::EngineTest {};

TEST_F(EventLoopStepTest, WaitIsCutToTheNextRepeat) {
  const Instant now = clock.now();
  EXPECT_EQ(receive_wait(state, now), milliseconds(100)) << "no held button";

  struct Case {
    milliseconds due_in;
    milliseconds wait;
  };
  const Case cases[] = {
      {milliseconds(30), milliseconds(30)},    // due sooner than the longest wait
      {milliseconds(100), milliseconds(100)},  // due just at the longest wait
      {milliseconds(250), milliseconds(100)},  // due later: the longest wait
      {milliseconds(0), milliseconds(0)},      // due now
      {milliseconds(-50), milliseconds(0)},    // overdue
  };
  for (const Case& c : cases) {
    state.press_track = PressTrack{.pressed_at = now - milliseconds(400),
                                   .next_repeat = now + c.due_in,
                                   .binding = nullptr,
                                   .repeats = 0,
                                   .number = 76};
    EXPECT_EQ(receive_wait(state, now), c.wait) << c.due_in.count();
  }
}

TEST_F(EventLoopStepTest, SnapshotReplacesTheUiUnlessItsPollStartedBeforeAChange) {
  const UiState reported{.right = "masking",
                         .view = "survey",
                         .tool = "wbPicker",
                         .thumbSize = 300.0,
                         .activeMask = 7,
                         .active = 1234};
  const Instant poll = clock.now();
  struct Case {
    std::optional<Instant> changed_at;
    bool applied;
  };
  const Case cases[] = {
      {std::nullopt, true},               // the bridge never changed the UI
      {poll - milliseconds(1), true},     // the poll started after the change
      {poll, false},                      // ... not strictly after it
      {poll + milliseconds(100), false},  // the poll was under way during the change
  };
  for (const Case& c : cases) {
    state.ui = UiState{};
    state.ui_changed_at = c.changed_at;
    apply_snapshot(state, reported, poll);
    EXPECT_EQ(state.ui, c.applied ? reported : UiState{}) << c.applied;
    EXPECT_EQ(state.ui_changed_at, c.changed_at);
  }
}

class UiPollerTest : public test::EngineTest {};

TEST_F(UiPollerTest, PostsSnapshotsUntilTheReceiverIsGone) {
  sim->set_page("crop");
  // Each poll moves the clock on by a second when it reaches the application, so a snapshot
  // stamped after its request instead of before it carries a later instant than the one seen.
  std::mutex arrivals_lock;
  std::vector<Instant> arrivals;  // guarded by arrivals_lock
  sim->set_request_observer([&](std::string_view line) {
    if (line.find("\"ui.inspect\"") == std::string_view::npos) {
      return;
    }
    std::lock_guard lock(arrivals_lock);
    arrivals.push_back(clock.now());
    clock.advance(std::chrono::seconds(1));
  });
  auto [sender, receiver] = make_channel<DriverMessage>();
  std::optional<DriverReceiver> held(std::move(receiver));
  std::thread poller(ui_poller, link, std::move(sender), std::cref(clock));

  for (std::size_t i = 0; i < 2; ++i) {
    auto received = held->receive_until(std::chrono::steady_clock::now() + k_patience);
    auto* message = std::get_if<DriverMessage>(&received);
    ASSERT_NE(message, nullptr);
    auto* ui = std::get_if<DriverMessage::Ui>(&message->value);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(current_page(ui->state), Page::crop);
    std::lock_guard lock(arrivals_lock);
    EXPECT_EQ(ui->poll_started, arrivals.size() > i ? arrivals[i] : Instant{}) << "poll " << i;
  }

  held.reset();
  poller.join();
  sim->set_request_observer({});
  const std::vector<std::string> requests = sent();
  ASSERT_THAT(requests, ::testing::Not(::testing::IsEmpty()));
  EXPECT_EQ(requests.front(), R"({"id":2,"method":"ui.inspect","params":{}})");
}

TEST_F(UiPollerTest, ResultsWithoutUiAreNotPosted) {
  sim->set_ui_result(Json{{"activeMask", 7}});
  auto [sender, receiver] = make_channel<DriverMessage>();
  std::thread poller(ui_poller, link, std::move(sender), std::cref(clock));
  EXPECT_THAT(sim->wait_for_matching("ui.inspect", 2, k_patience), SizeIs(Ge(2)));

  // Two polls answered and nothing posted; the receiver has to go before the poller can end, so
  // give it one snapshot to fail on.
  auto received = receiver.receive_until(std::chrono::steady_clock::now());
  EXPECT_TRUE(std::holds_alternative<TimedOut>(received));
  sim->set_page("loupe");
  { DriverReceiver gone = std::move(receiver); }
  poller.join();
}

}  // namespace
}  // namespace tavrick

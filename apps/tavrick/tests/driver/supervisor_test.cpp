#include "driver/supervisor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "desktop/log.h"
#include "desktop/thread_name.h"
#include "support/engine_fixture.h"
#include "support/fake_midi_backend.h"
#include "support/fake_sleep_clocks.h"
#include "support/scratch_folder.h"
#include "support/thread_names.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string k_absent = "… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa \"loupedeck\")";
const std::string k_unplugged = "… Loupedeck+ đã rút ra; chờ cắm lại";

// A period that no test waits out: a wait that ends did so for another reason.
constexpr tavrick::PassTiming k_no_period{
    .period = 1h, .settle = 500ms, .follow_up = 1500ms, .check = 500ms};
// Longer than any wait that ends as it should, even on a loaded machine.
constexpr auto k_wait_bound = 30s;

/// A supervisor over a fake backend and fake sleep clocks; each pass and wait is run by hand.
struct SupervisorTest : testing::Test {
  explicit SupervisorTest(std::string source = "loupedeck", tavrick::PassTiming timing = {}) {
    auto [sender, channel_receiver] = tavrick::make_channel<tavrick::DriverMessage>();
    receiver.emplace(std::move(channel_receiver));
    supervisor.emplace(
        std::move(source), std::move(sender), backend, [this] { return event_loop_finished; },
        clocks, timing);
  }

  /// Runs one pass that must not end the run; the lines it logged.
  Lines pass() {
    EXPECT_EQ(supervisor->pass(), std::nullopt);
    return log.take();
  }

  /// Runs wait_for_next_pass on another thread while `meanwhile` runs here; how long the wait
  /// took, or nothing when it did not end within k_wait_bound (a failure).
  std::optional<std::chrono::milliseconds> wait(const std::function<void()>& meanwhile = [] {}) {
    const auto start = std::chrono::steady_clock::now();
    auto waited = std::async(std::launch::async, [this] { supervisor->wait_for_next_pass(); });
    meanwhile();
    if (waited.wait_for(k_wait_bound) != std::future_status::ready) {
      ADD_FAILURE() << "the wait did not end";
      // The wait holds the supervisor: leave the process rather than pull it away.
      std::fflush(nullptr);
      std::_Exit(1);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }

  tavrick::test::FakeMidiBackend backend;
  tavrick::test::FakeSleepClocks clocks;
  tavrick::test::LogCapture log{tavrick::test::Keep::all_but_connect_notices};
  bool event_loop_finished = false;
  std::optional<tavrick::DriverReceiver> receiver;
  std::optional<tavrick::Supervisor> supervisor;
};

TEST_F(SupervisorTest, OpensAPluggedSurfaceAtOnceWithoutAbsenceLine) {
  backend.set_ports({"Loupedeck+", "LOUPEDECK+ 2"});
  EXPECT_EQ(pass(), (Lines{"→ đang nghe Loupedeck+", "→ đang nghe LOUPEDECK+ 2"}));
  EXPECT_EQ(pass(), Lines{});
  EXPECT_EQ(backend.take_events(), (Lines{"open Loupedeck+", "open LOUPEDECK+ 2"}));
}

TEST_F(SupervisorTest, AnnouncesAbsenceOnceThenOpensWhenPlugged) {
  backend.set_ports({"Keyboard"});
  EXPECT_EQ(pass(), Lines{k_absent});
  EXPECT_EQ(pass(), Lines{});
  backend.set_ports({"Keyboard", "Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  EXPECT_EQ(backend.take_events(), Lines{"open Loupedeck+"});
}

TEST_F(SupervisorTest, UnplugClosesOnceAndReplugOpensAgain) {
  backend.set_ports({"Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  backend.set_ports({});
  EXPECT_EQ(pass(), Lines{k_unplugged});
  EXPECT_EQ(pass(), Lines{});  // the unplug line already said that it waits
  backend.set_ports({"Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  EXPECT_EQ(backend.take_events(),
            (Lines{"open Loupedeck+", "close Loupedeck+", "open Loupedeck+"}));
}

TEST_F(SupervisorTest, ListingFailureCountsAsUnplugged) {
  backend.set_ports({"Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  backend.set_list_error("the sequencer is gone");
  EXPECT_EQ(pass(), Lines{k_unplugged});
  EXPECT_EQ(backend.take_events(), (Lines{"open Loupedeck+", "close Loupedeck+"}));
}

TEST_F(SupervisorTest, FailingOpenIsReportedOnEveryPass) {
  const std::string refused =
      "! Loupedeck+: could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)";
  backend.set_ports({"Loupedeck+"});
  backend.fail_open("Loupedeck+",
                    "could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)");
  EXPECT_EQ(pass(), Lines{refused});
  EXPECT_EQ(pass(), Lines{refused});
  // Absence was not announced yet, so the port going away is reported once.
  backend.set_ports({});
  EXPECT_EQ(pass(), Lines{k_absent});
  EXPECT_EQ(pass(), Lines{});
}

TEST_F(SupervisorTest, EndedEventLoopClosesPortsAndDropsTheSender) {
  backend.set_ports({"Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  event_loop_finished = true;
  EXPECT_EQ(supervisor->pass(), 1);
  EXPECT_EQ(log.take(), Lines{"✗ driver dừng bất thường"});
  EXPECT_EQ(backend.take_events(), (Lines{"open Loupedeck+", "close Loupedeck+"}));
  // Neither the supervisor nor a connection holds a sender any more.
  EXPECT_TRUE(std::holds_alternative<tavrick::Disconnected>(
      receiver->receive_until(std::chrono::steady_clock::now())));
}

TEST_F(SupervisorTest, HandsItsWakeUpToTheBackend) { ASSERT_NE(backend.events(), nullptr); }

/// What kills an open connection in a case of the table below.
enum class Death { reported_by_connection, sleep_seen_by_clocks };

/// What the pass after the death lists.
enum class Listing {
  listed,            ///< the port, as before
  gone,              ///< nothing
  gone_once_closed,  ///< the port until the dead connection is closed, then nothing
};

struct DeadCase {
  const char* name;
  Death death;
  Listing listing;
  Lines lines;  // what that pass logs
};

const DeadCase k_dead_cases[] = {
    // Replugged between two passes, or a handle that the service no longer serves: the port is
    // listed as before, so the list alone would never show it.
    {"dead and listed",
     Death::reported_by_connection,
     Listing::listed,
     {k_unplugged, "→ đang nghe Loupedeck+"}},
    {"dead and gone", Death::reported_by_connection, Listing::gone, {k_unplugged}},
    // JACK tells of a port's end before its list changes: the surface is gone, not vanished
    // between listing and opening.
    {"dead and still listed until closed",
     Death::reported_by_connection,
     Listing::gone_once_closed,
     {k_unplugged}},
    {"slept and listed",
     Death::sleep_seen_by_clocks,
     Listing::listed,
     {k_unplugged, "→ đang nghe Loupedeck+"}},
    {"slept and gone", Death::sleep_seen_by_clocks, Listing::gone, {k_unplugged}},
};

TEST_F(SupervisorTest, ClosesADeadConnectionAndOpensTheSurfaceAgainInTheSamePass) {
  for (const DeadCase& test : k_dead_cases) {
    backend.set_ports({"Loupedeck+"});
    ASSERT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"}) << test.name;
    (void)backend.take_events();
    if (test.death == Death::reported_by_connection) {
      ASSERT_TRUE(backend.kill("Loupedeck+"));
    } else {
      clocks.sleep(8h);
    }
    if (test.listing == Listing::gone) {
      backend.set_ports({});
    } else if (test.listing == Listing::gone_once_closed) {
      backend.set_ports_after_close({});
    }
    EXPECT_EQ(pass(), test.lines) << test.name;
    const Lines closed_and_opened{"close Loupedeck+", "open Loupedeck+"};
    EXPECT_EQ(backend.take_events(),
              test.listing == Listing::listed ? closed_and_opened : Lines{"close Loupedeck+"})
        << test.name;
    // Nothing more: the new connection is sound, a port that stays away is not told again.
    EXPECT_EQ(pass(), Lines{}) << test.name;
    backend.set_ports({});
    (void)pass();
    (void)backend.take_events();
  }
}

TEST_F(SupervisorTest, AFailedOpenAfterADeadConnectionIsRetriedWithoutAbsenceLine) {
  backend.set_ports({"Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  ASSERT_TRUE(backend.kill("Loupedeck+"));
  backend.fail_open("Loupedeck+", "invalid port");
  EXPECT_EQ(pass(), (Lines{k_unplugged, "! Loupedeck+: invalid port"}));
  backend.fail_open("Loupedeck+", "invalid port");
  backend.set_ports({});
  EXPECT_EQ(pass(), Lines{});
}

TEST_F(SupervisorTest, ASleepWithoutConnectionsIsNotToldLater) {
  backend.set_ports({});
  EXPECT_EQ(pass(), Lines{k_absent});
  clocks.sleep(1h);
  EXPECT_EQ(pass(), Lines{});
  backend.set_ports({"Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  EXPECT_EQ(pass(), Lines{});
}

struct SupervisorWaitTest : SupervisorTest {
  SupervisorWaitTest() : SupervisorTest("loupedeck", k_no_period) {}

  /// The surface open, and the first wait behind.
  void open_surface() {
    backend.set_ports({"Loupedeck+"});
    ASSERT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
    (void)backend.take_events();
  }
};

/// What happens while the supervisor waits, in a case of the table below.
enum class Happening {
  device_changed,
  connection_reported_lost,
  dies_silently,
  resume_reported,
  sleep_seen_by_clocks
};

struct WaitCase {
  const char* name;
  Happening happening;
};

const WaitCase k_wait_cases[] = {
    {"a device change", Happening::device_changed},
    {"a connection the service reports lost", Happening::connection_reported_lost},
    {"a connection that dies without a word", Happening::dies_silently},
    {"a resume the system reports", Happening::resume_reported},
    {"a sleep that only the clocks show", Happening::sleep_seen_by_clocks},
};

TEST_F(SupervisorWaitTest, DeviceEventsLostConnectionsAndResumesEndTheWaitEarly) {
  for (const WaitCase& test : k_wait_cases) {
    open_surface();
    tavrick::MidiEvents& events = *backend.events();
    const auto waited = wait([&] {
      switch (test.happening) {
        case Happening::device_changed:
          events.device_changed();
          break;
        case Happening::connection_reported_lost:
          backend.kill("Loupedeck+");
          events.connection_lost();
          break;
        case Happening::dies_silently:
          backend.kill("Loupedeck+");
          break;
        case Happening::resume_reported:
          events.resumed();
          break;
        case Happening::sleep_seen_by_clocks:
          clocks.sleep(2h);
          break;
      }
    });
    ASSERT_TRUE(waited) << test.name;
    std::printf("[ figure ] %s ends the wait after %lld ms (the regular pass: 3000 ms)\n",
                test.name, static_cast<long long>(waited->count()));
    if (test.happening == Happening::device_changed) {
      EXPECT_EQ(pass(), Lines{}) << test.name;
      EXPECT_EQ(backend.take_events(), Lines{}) << test.name;
    } else {
      EXPECT_EQ(pass(), (Lines{k_unplugged, "→ đang nghe Loupedeck+"})) << test.name;
      EXPECT_EQ(backend.take_events(), (Lines{"close Loupedeck+", "open Loupedeck+"})) << test.name;
    }
    backend.set_ports({});
    (void)pass();
    (void)backend.take_events();
  }
}

TEST_F(SupervisorWaitTest, ADeviceChangeBringsASecondPassLater) {
  backend.set_ports({});
  EXPECT_EQ(pass(), Lines{k_absent});
  const int before = backend.listings();
  ASSERT_TRUE(wait([&] { backend.events()->device_changed(); }));
  EXPECT_EQ(pass(), Lines{});
  // The device list lags the notice: the surface shows up only for the second pass.
  backend.set_ports({"Loupedeck+"});
  ASSERT_TRUE(wait());
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  EXPECT_EQ(backend.listings(), before + 3);  // each pass, and the opening
}

struct SupervisorPeriodTest : SupervisorTest {
  SupervisorPeriodTest()
      : SupervisorTest("loupedeck",
                       tavrick::PassTiming{
                           .period = 50ms, .settle = 500ms, .follow_up = 1500ms, .check = 20ms}) {}
};

TEST_F(SupervisorPeriodTest, WithoutEventsTheWaitEndsAfterThePeriod) {
  backend.set_ports({"Loupedeck+"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Loupedeck+"});
  const auto waited = wait();
  ASSERT_TRUE(waited);
  EXPECT_GE(*waited, 50ms);
  EXPECT_EQ(pass(), Lines{});
}

struct SupervisorSourceTest : SupervisorTest {
  SupervisorSourceTest() : SupervisorTest("") {}
};

TEST_F(SupervisorSourceTest, EmptySourceTakesAnyPortForTheSurface) {
  backend.set_ports({});
  EXPECT_EQ(pass(), Lines{"… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa \"\")"});
  backend.set_ports({"Keyboard"});
  EXPECT_EQ(pass(), Lines{"→ đang nghe Keyboard"});
}

// Whatever ends the event-loop thread, the run reports it in the log (here a log file, as in the
// agent) and returns 1. The loop is replaced by one that fails at once, the poller by one that
// leaves at once (it would otherwise go on trying to reach the application after the test).
TEST(RunDriverTest, AnyEndOfTheEventLoopIsReportedAndEndsTheRunWith1) {
  struct Case {
    const char* what;
    std::function<void()> end;
  };
  const Case cases[] = {
      {"an exception", [] { throw std::runtime_error("the event loop failed"); }},
      {"something thrown that is no exception", [] { throw 42; }},
      {"a return", [] {}},
  };
  for (const Case& c : cases) {
    const tavrick::test::ScratchFolder folder;
    const auto log_file = folder.path() / "loupedeck.log";
    ASSERT_TRUE(tavrick::set_log_file(log_file).has_value());
    tavrick::test::FakeMidiBackend backend;
    backend.set_ports({});
    const int code = tavrick::run_driver(
        1, "loupedeck", tavrick::SetEnv::no,
        {.backend = &backend,
         .ui_poller = [](std::shared_ptr<tavrick::Link>, tavrick::DriverSender) {},
         .event_loop = [&c](tavrick::DriverReceiver, std::shared_ptr<tavrick::Link>) { c.end(); }});
    tavrick::clear_log_file();
    EXPECT_EQ(code, 1) << c.what;
    const std::string log = tavrick::test::read_file(log_file);
    EXPECT_TRUE(std::regex_search(log, std::regex("(^|\n)[0-9]+ ✗ driver dừng bất thường\n$")))
        << c.what << ":\n"
        << log;
  }
}

// The poller and the event loop each run on a thread of their own, named for what it does.
TEST(RunDriverTest, ThePollerAndTheEventLoopRunOnThreadsNamedForThem) {
  const tavrick::test::ScratchFolder folder;
  ASSERT_TRUE(tavrick::set_log_file(folder.path() / "loupedeck.log").has_value());
  tavrick::test::FakeMidiBackend backend;
  backend.set_ports({});
  // The poller thread is never joined: its name comes back through a promise the thread holds.
  auto poller_name = std::make_shared<std::promise<std::string>>();
  std::future<std::string> poller_named = poller_name->get_future();
  std::string loop_name;
  const int code = tavrick::run_driver(
      1, "loupedeck", tavrick::SetEnv::no,
      {.backend = &backend,
       .ui_poller =
           [poller_name](std::shared_ptr<tavrick::Link>, tavrick::DriverSender) {
             poller_name->set_value(tavrick::this_thread_name());
           },
       .event_loop =
           [&loop_name](tavrick::DriverReceiver, std::shared_ptr<tavrick::Link>) {
             loop_name = tavrick::this_thread_name();
           }});
  tavrick::clear_log_file();
  EXPECT_EQ(code, 1);
  EXPECT_EQ(loop_name, tavrick::test::expected_thread_name("event loop"));
  ASSERT_EQ(poller_named.wait_for(k_wait_bound), std::future_status::ready);
  EXPECT_EQ(poller_named.get(), tavrick::test::expected_thread_name("ui poller"));
}

}  // namespace

#include "driver/supervisor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "link/log.h"
#include "support/engine_fixture.h"
#include "support/fake_midi_backend.h"
#include "support/scratch_folder.h"

namespace {

using Lines = std::vector<std::string>;

const std::string k_absent = "… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa \"loupedeck\")";
const std::string k_unplugged = "… Loupedeck+ đã rút ra; chờ cắm lại";

/// A supervisor over a fake backend; each pass is run by hand.
struct SupervisorTest : testing::Test {
  explicit SupervisorTest(std::string source = "loupedeck") {
    auto [sender, channel_receiver] = tavrick::make_channel<tavrick::DriverMessage>();
    receiver.emplace(std::move(channel_receiver));
    supervisor.emplace(std::move(source), std::move(sender), backend,
                       [this] { return event_loop_finished; });
  }

  /// Runs one pass that must not end the run; the lines it logged.
  Lines pass() {
    EXPECT_EQ(supervisor->pass(), std::nullopt);
    return log.take();
  }

  tavrick::test::FakeMidiBackend backend;
  tavrick::test::LogCapture log;
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

}  // namespace

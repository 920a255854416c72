#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "driver/open_matching.h"
#include "midi/midi_port.h"
#include "support/engine_fixture.h"
#include "support/fake_midi_backend.h"

namespace {

using tavrick::ControlEvent;
using tavrick::DriverMessage;
using tavrick::EventKind;

struct OpenMatchingTest : testing::Test {
  tavrick::test::FakeMidiBackend backend;
  tavrick::test::LogCapture log{tavrick::test::Keep::all_but_connect_notices};
};

TEST_F(OpenMatchingTest, OpensEveryMatchingPortInDeviceOrder) {
  backend.set_ports({"LOUPEDECK+ MIDI 2", "Keyboard", "Loupedeck+"});
  auto [sender, receiver] = tavrick::make_channel<DriverMessage>();
  auto connections = tavrick::open_matching_ports(backend, "loupedeck", sender);
  ASSERT_TRUE(connections) << connections.error();
  EXPECT_EQ(connections->size(), 2u);
  EXPECT_EQ(backend.take_events(),
            (std::vector<std::string>{"open LOUPEDECK+ MIDI 2", "open Loupedeck+"}));
  EXPECT_EQ(log.take(),
            (std::vector<std::string>{"→ đang nghe LOUPEDECK+ MIDI 2", "→ đang nghe Loupedeck+"}));
}

TEST_F(OpenMatchingTest, EmptySourceOpensEveryPort) {
  backend.set_ports({"A", "B"});
  auto [sender, receiver] = tavrick::make_channel<DriverMessage>();
  auto connections = tavrick::open_matching_ports(backend, "", sender);
  ASSERT_TRUE(connections);
  EXPECT_EQ(backend.take_events(), (std::vector<std::string>{"open A", "open B"}));
}

TEST_F(OpenMatchingTest, FailureClosesThePortsAlreadyOpenAndNamesThePort) {
  backend.set_ports({"Loupedeck+ 1", "Loupedeck+ 2", "Loupedeck+ 3"});
  backend.fail_open("Loupedeck+ 2",
                    "could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)");
  auto [sender, receiver] = tavrick::make_channel<DriverMessage>();
  auto connections = tavrick::open_matching_ports(backend, "loupedeck", sender);
  ASSERT_FALSE(connections);
  EXPECT_EQ(connections.error(),
            "Loupedeck+ 2: could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)");
  // The third port is not tried.
  EXPECT_EQ(
      backend.take_events(),
      (std::vector<std::string>{"open Loupedeck+ 1", "open Loupedeck+ 2", "close Loupedeck+ 1"}));
  EXPECT_EQ(log.take(), std::vector<std::string>{"→ đang nghe Loupedeck+ 1"});
}

TEST_F(OpenMatchingTest, NoMatchingPortTellsWhatToCheck) {
  const std::string expected =
      "không thấy thiết bị MIDI tên chứa \"XYZ\". Loupedeck+ đã cắm chưa? Nếu phần mềm Loupedeck "
      "của hãng đang chạy thì tắt nó (nó chiếm thiết bị). Xem tên các cổng: tavrick ports";
  auto [sender, receiver] = tavrick::make_channel<DriverMessage>();
  backend.set_ports({"Keyboard"});
  auto unmatched = tavrick::open_matching_ports(backend, "XYZ", sender);
  ASSERT_FALSE(unmatched);
  EXPECT_EQ(unmatched.error(), expected);
  // A list that cannot be read shows no port either.
  backend.set_list_error("no sequencer");
  auto unlisted = tavrick::open_matching_ports(backend, "XYZ", sender);
  ASSERT_FALSE(unlisted);
  EXPECT_EQ(unlisted.error(), expected);
  EXPECT_TRUE(backend.take_events().empty());
}

TEST_F(OpenMatchingTest, ConnectionsPostDecodedEventsUntilClosed) {
  backend.set_ports({"Loupedeck+"});
  auto [sender, receiver] = tavrick::make_channel<DriverMessage>();
  auto connections = tavrick::open_matching_ports(backend, "loupedeck", std::move(sender));
  ASSERT_TRUE(connections);
  ASSERT_TRUE(backend.deliver("Loupedeck+", {0xF8}));              // timing clock
  ASSERT_TRUE(backend.deliver("Loupedeck+", {0xF0, 0x7E, 0xF7}));  // system exclusive
  ASSERT_TRUE(backend.deliver("Loupedeck+", {0xB0, 0x21, 0x01}));  // Exposure +1
  ASSERT_TRUE(backend.deliver("Loupedeck+", {0x90, 0x21, 0x00}));  // release of note 33
  const ControlEvent expected[] = {{EventKind::Rotate, 33, 1}, {EventKind::Release, 33, 0}};
  for (const ControlEvent& event : expected) {
    auto received = receiver.receive_until(std::chrono::steady_clock::now());
    auto* message = std::get_if<DriverMessage>(&received);
    ASSERT_NE(message, nullptr);
    auto* midi = std::get_if<DriverMessage::Midi>(&message->value);
    ASSERT_NE(midi, nullptr);
    EXPECT_EQ(midi->event, event);
  }
  // Closing drops the connection's sender, the last one: the channel reports disconnection.
  for (auto& connection : *connections) {
    tavrick::close_port(std::move(connection));
  }
  EXPECT_TRUE(std::holds_alternative<tavrick::Disconnected>(
      receiver.receive_until(std::chrono::steady_clock::now())));
}

}  // namespace

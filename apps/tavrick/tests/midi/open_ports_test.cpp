#include "midi/open_ports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

/// Counts what the connections report.
struct CountingEvents final : tavrick::MidiEvents {
  void device_changed() override {}
  void connection_lost() override { ++lost; }
  void resumed() override {}
  int lost = 0;
};

struct PathCase {
  std::u16string a;
  std::u16string b;
  bool same;
};

const PathCase k_path_cases[] = {
    {u"\\\\?\\USB#VID_2952&PID_0003&MI_00#7&1#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global",
     u"\\\\?\\usb#vid_2952&pid_0003&mi_00#7&1#{6994AD04-93EF-11D0-A3CC-00A0C9223196}\\GLOBAL",
     true},
    // As the driver reports it, with its NUL.
    {std::u16string(u"\\\\?\\swd#midii_01\0", 17), u"\\\\?\\SWD#MIDII_01", true},
    {u"\\\\?\\usb#vid_2952&pid_0003&mi_00", u"\\\\?\\usb#vid_2952&pid_0003&mi_01", false},
    {u"\\\\?\\usb#a", u"\\\\?\\usb#ab", false},
    // Only ASCII letters fold: Ä is not ä.
    {u"\\\\?\\usb#\u00c4", u"\\\\?\\usb#\u00e4", false},
};

TEST(OpenPortsTest, ComparesInterfacePathsAsWindowsDoes) {
  for (const PathCase& test : k_path_cases) {
    EXPECT_EQ(tavrick::same_interface_path(test.a, test.b), test.same)
        << std::string(test.a.begin(), test.a.end());
  }
}

/// The connections on the interface `path`, as the WinMM backend finds them.
std::size_t remove_path(tavrick::OpenPorts<std::u16string>& ports, std::u16string_view path) {
  return ports.lose_if(
      [path](const std::u16string& port) { return tavrick::same_interface_path(port, path); });
}

TEST(OpenPortsTest, ARemovalReachesTheConnectionsOnItsPortOnly) {
  auto events = std::make_shared<CountingEvents>();
  auto first = std::make_shared<tavrick::LossSignal>(events);
  auto second = std::make_shared<tavrick::LossSignal>(events);
  auto other = std::make_shared<tavrick::LossSignal>(events);
  tavrick::OpenPorts<std::u16string> ports;
  ports.add(u"\\\\?\\usb#lp#{x}", first);
  ports.add(u"\\\\?\\USB#LP#{X}", second);  // a surface with two ports on one interface
  ports.add(u"\\\\?\\usb#kb#{x}", other);
  EXPECT_EQ(remove_path(ports, u"\\\\?\\usb#lp#{x}"), 2u);
  EXPECT_TRUE(first->lost());
  EXPECT_TRUE(second->lost());
  EXPECT_FALSE(other->lost());
  EXPECT_EQ(events->lost, 2);
  // A second notice tells the events nothing new.
  EXPECT_EQ(remove_path(ports, u"\\\\?\\usb#lp#{x}"), 2u);
  EXPECT_EQ(events->lost, 2);
}

TEST(OpenPortsTest, AClosedConnectionIsNotReached) {
  auto events = std::make_shared<CountingEvents>();
  tavrick::OpenPorts<std::string> ports;
  {
    auto closed = std::make_shared<tavrick::LossSignal>(events);
    ports.add("surface:out", closed);
  }
  auto open = std::make_shared<tavrick::LossSignal>(events);
  ports.add("surface:out", open);
  EXPECT_EQ(ports.lose_if([](const std::string& name) { return name == "surface:out"; }), 1u);
  EXPECT_TRUE(open->lost());
  EXPECT_EQ(events->lost, 1);
}

}  // namespace

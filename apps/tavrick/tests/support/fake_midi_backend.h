#pragma once
// A MIDI backend whose ports, open failures and incoming messages are set by the test.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "midi/midi_port.h"

namespace tavrick::test {

class FakeMidiBackend final : public tavrick::MidiBackend {
 public:
  /// Lists ports with these names, in this order.
  void set_ports(std::vector<std::string> names);
  /// Makes listing fail with `error`.
  void set_list_error(std::string error);
  /// Makes opening the port called `name` fail with `reason`.
  void fail_open(std::string name, std::string reason);

  /// "open NAME" and "close NAME", in the order they happened.
  [[nodiscard]] std::vector<std::string> take_events();
  /// Delivers `message` to the callback of the open port `name`; false when it is not open.
  bool deliver(const std::string& name, std::vector<std::uint8_t> message);

  std::expected<std::vector<tavrick::MidiPort>, std::string> list_input_ports() override;
  std::expected<tavrick::MidiConnection, std::string> open_port(
      const tavrick::MidiPort& port, tavrick::MidiCallback callback) override;

 private:
  struct Connection;
  std::expected<std::vector<std::string>, std::string> m_ports;
  std::map<std::string, std::string> m_open_failures;
  std::map<std::string, Connection*> m_open;
  std::vector<std::string> m_events;
};

}  // namespace tavrick::test

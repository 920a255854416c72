#pragma once
// A MIDI backend whose ports, open failures, incoming messages and dead connections are set by
// the test.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
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
  /// From the next close of a connection on, lists `names`: a service that still listed a port
  /// going away until its connection was closed.
  void set_ports_after_close(std::vector<std::string> names);
  /// Makes opening the port called `name` fail with `reason`.
  void fail_open(std::string name, std::string reason);

  /// "open NAME" and "close NAME", in the order they happened.
  [[nodiscard]] std::vector<std::string> take_events();
  /// Delivers `message` to the callback of the open port `name`; false when it is not open.
  bool deliver(const std::string& name, std::vector<std::uint8_t> message);
  /// Makes the open port `name` answer that it is dead; false when it is not open.
  bool kill(const std::string& name);
  /// The events given to follow_devices (empty before).
  [[nodiscard]] std::shared_ptr<tavrick::MidiEvents> events() const;
  /// How many times the ports were listed. Any thread.
  [[nodiscard]] int listings() const;

  std::expected<std::vector<tavrick::MidiPort>, std::string> list_input_ports() override;
  std::expected<tavrick::MidiConnection, std::string> open_port(
      const tavrick::MidiPort& port, tavrick::MidiCallback callback) override;
  void follow_devices(std::shared_ptr<tavrick::MidiEvents> events) override;

 private:
  struct Connection;
  // Guards everything below: a test may look from another thread while the supervisor runs.
  mutable std::mutex m_mutex;
  std::expected<std::vector<std::string>, std::string> m_ports;
  std::optional<std::vector<std::string>> m_ports_after_close;
  std::map<std::string, std::string> m_open_failures;
  std::map<std::string, Connection*> m_open;
  std::vector<std::string> m_events;
  std::shared_ptr<tavrick::MidiEvents> m_follower;
  int m_listings = 0;
};

}  // namespace tavrick::test

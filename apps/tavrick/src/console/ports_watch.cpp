// The diagnostic commands `ports` and `watch`.

#include <string>
#include <variant>

#include "console/commands.h"
#include "desktop/console_output.h"
#include "desktop/log.h"
#include "driver/labels.h"
#include "driver/open_matching.h"
#include "midi/midi_port.h"

namespace tavrick {

std::string watch_line(const ControlEvent& event) {
  const std::string number = std::to_string(event.number);
  switch (event.kind) {
    case EventKind::Rotate: {
      const std::string sign = event.delta < 0 ? "" : "+";
      return "NÚM  CC " + number + " " + knob_label(event.number).value_or("") + "  delta " + sign +
             std::to_string(event.delta);
    }
    case EventKind::Press:
    case EventKind::Release: {
      const char* arrow = event.kind == EventKind::Press ? "↓" : "↑";
      return "NÚT  note " + number + " " + button_label(event.number).value_or("") + "  " + arrow;
    }
  }
  return {};
}

int ports_command() {
  const auto names = list_port_names();
  if (!names) {
    write_text(Stream::err, "✗ " + names.error() + "\n");
    return 1;
  }
  if (names->empty()) {
    write_text(Stream::out, "Không có cổng MIDI vào nào.\n");
    return 0;
  }
  std::string text;
  for (const std::string& name : *names) {
    text += name + "\n";
  }
  write_text(Stream::out, text);
  return 0;
}

int watch_command(std::string_view source) {
  auto [sender, receiver] = make_channel<DriverMessage>();
  // The connections keep their clones of the sender, and with them the channel, open for as
  // long as the command runs.
  auto connections = open_matching_ports(source, std::move(sender));
  if (!connections) {
    write_text(Stream::err, "✗ " + connections.error() + "\n");
    return 1;
  }
  write_text(Stream::out, "Đang xem thiết bị. Xoay núm / bấm nút. Ctrl+C để thoát.\n\n");
  while (true) {
    auto received = receiver.receive();
    if (std::holds_alternative<Disconnected>(received)) {
      return 1;  // cannot happen while the connections hold their senders
    }
    if (auto* message = std::get_if<DriverMessage>(&received)) {
      if (auto* midi = std::get_if<DriverMessage::Midi>(&message->value)) {
        log_line(watch_line(midi->event));
      }
    }
  }
}

}  // namespace tavrick

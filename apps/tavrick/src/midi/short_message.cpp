#include "midi/short_message.h"

namespace tavrick {

std::size_t short_message_length(std::uint8_t status) {
  if ((status >= 0x80 && status <= 0xBF) || (status >= 0xE0 && status <= 0xEF) || status == 0xF2) {
    return 3;
  }
  if ((status >= 0xC0 && status <= 0xDF) || status == 0xF1 || status == 0xF3) {
    return 2;
  }
  return 1;
}

std::optional<ShortMessage> unpack_short_message(std::uint32_t packed) {
  const auto status = static_cast<std::uint8_t>(packed & 0xFF);
  if ((status & 0x80) == 0) {
    return std::nullopt;
  }
  ShortMessage message;
  message.size = short_message_length(status);
  for (std::size_t i = 0; i < message.size; ++i) {
    message.bytes[i] = static_cast<std::uint8_t>((packed >> (8 * i)) & 0xFF);
  }
  return message;
}

}  // namespace tavrick

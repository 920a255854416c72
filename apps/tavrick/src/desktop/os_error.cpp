// The platform-neutral half of system error texts.

#include <string>
#include <utility>

#include "desktop/os_error.h"

namespace tavrick {

std::string format_os_error(std::string message, int code) {
  // The system's texts end in ".\r\n" (Windows) or nothing (Linux); any trailing ASCII white
  // space goes.
  while (!message.empty() &&
         (message.back() == ' ' || message.back() == '\t' || message.back() == '\n' ||
          message.back() == '\r' || message.back() == '\v' || message.back() == '\f')) {
    message.pop_back();
  }
  std::string text = std::move(message);
  if (!text.empty()) {
    text += ' ';
  }
  text += "(os error ";
  text += std::to_string(code);
  text += ')';
  return text;
}

}  // namespace tavrick

// Port names are matched case-insensitively with the full Unicode lowercase mapping, the same on
// every platform, so a --source that works on one machine works on the other.

#include "midi/port_match.h"

#include <string>

#include "midi/letter_case.h"

namespace tavrick {

bool port_matches(std::string_view name, std::string_view source) {
  return unicode_lowercase(name).find(unicode_lowercase(source)) != std::string::npos;
}

}  // namespace tavrick

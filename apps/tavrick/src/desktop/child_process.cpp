// What both platforms say about a child's exit code.

#include <string>

#include "desktop/child_process.h"

namespace tavrick {

std::string exit_code_text(std::int32_t code) { return "thoát với mã " + std::to_string(code); }

}  // namespace tavrick

// Child programs on Windows: CreateProcessW without a console window, the standard handles
// passed on, the program started by the full path that find_program gives.

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "desktop/child_process.h"
#include "desktop/command_line.h"
#include "desktop/os_error.h"
#include "desktop/program_search.h"
#include "desktop/text_convert.h"

namespace tavrick {
namespace {

/// Owns the two handles that CreateProcessW hands back.
class ProcessHandles {
 public:
  explicit ProcessHandles(const PROCESS_INFORMATION& info) : m_info(info) {}
  ProcessHandles(const ProcessHandles&) = delete;
  ProcessHandles& operator=(const ProcessHandles&) = delete;
  ~ProcessHandles() {
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
  }
  [[nodiscard]] HANDLE process() const { return m_info.hProcess; }

 private:
  PROCESS_INFORMATION m_info;
};

std::expected<PROCESS_INFORMATION, std::string> start_process(const ChildCommand& command) {
  const auto program = find_program(command.program);
  if (!program) {
    return std::unexpected(program.error());
  }
  // The child's own argv[0] stays the name it was asked for.
  std::u16string line = utf16_from_utf8(windows_command_line(command));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  // The command line must be writable.
  if (!CreateProcessW(program->c_str(), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                      TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
    return std::unexpected(last_os_error_text());
  }
  return info;
}

}  // namespace

std::expected<void, std::string> run_checked(const ChildCommand& command) {
  const auto started = start_process(command);
  if (!started) {
    return std::unexpected(started.error());
  }
  const ProcessHandles child(*started);
  if (WaitForSingleObject(child.process(), INFINITE) == WAIT_FAILED) {
    return std::unexpected(last_os_error_text());
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(child.process(), &code)) {
    return std::unexpected(last_os_error_text());
  }
  if (code != 0) {
    // Exception codes such as 0xC0000005 read as negative numbers.
    return std::unexpected(exit_code_text(static_cast<std::int32_t>(code)));
  }
  return {};
}

std::expected<void, std::string> start_detached(const ChildCommand& command) {
  const auto started = start_process(command);
  if (!started) {
    return std::unexpected(started.error());
  }
  // Closing the handles lets go of the child; it runs on by itself.
  const ProcessHandles child(*started);
  return {};
}

}  // namespace tavrick

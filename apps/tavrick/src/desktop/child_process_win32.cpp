// Child programs on Windows: CreateProcessW without a console window, the program started by
// the full path that find_program gives; the standard handles passed on, or the null device.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/child_process.h"
#include "desktop/command_line.h"
#include "desktop/os_error.h"
#include "desktop/os_handle.h"
#include "desktop/program_search.h"
#include "desktop/text_convert.h"

namespace tavrick {
namespace {

/// Owns a process attribute list that lets a child inherit the one handle it names and no other.
class InheritOnly {
 public:
  /// `handle` must outlive the list.
  explicit InheritOnly(HANDLE handle) : m_handle(handle) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    m_buffer.resize(size);
    if (size != 0 && InitializeProcThreadAttributeList(list(), 1, 0, &size)) {
      m_initialised = true;
      m_ready = UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &m_handle,
                                          sizeof m_handle, nullptr, nullptr) != 0;
    }
  }
  InheritOnly(const InheritOnly&) = delete;
  InheritOnly& operator=(const InheritOnly&) = delete;
  ~InheritOnly() {
    if (m_initialised) {
      DeleteProcThreadAttributeList(list());
    }
  }
  [[nodiscard]] bool ready() const { return m_ready; }
  [[nodiscard]] LPPROC_THREAD_ATTRIBUTE_LIST list() {
    return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
  }

 private:
  HANDLE m_handle;  // the list points at this member
  std::vector<std::byte> m_buffer;
  bool m_initialised = false;
  bool m_ready = false;
};

/// What a child gets as its standard input, output and error.
enum class ChildStreams { inherited, null_device };

/// Starts the child: its process handle, or the system's error text.
std::expected<UniqueHandle, std::string> start_process(const ChildCommand& command,
                                                       ChildStreams streams) {
  const auto program = find_program(command.program);
  if (!program) {
    return std::unexpected(program.error());
  }
  // The child's own argv[0] stays the name it was asked for.
  std::u16string line = utf16_from_utf8(windows_command_line(command));
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  DWORD flags = CREATE_NO_WINDOW;
  UniqueHandle null_device;
  std::optional<InheritOnly> inherit_only;
  if (streams == ChildStreams::inherited) {
    startup.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.StartupInfo.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.StartupInfo.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  } else {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    null_device.reset(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                  nullptr));
    if (!null_device.is_open()) {
      return std::unexpected(last_os_error_text());
    }
    // Inheriting is all or nothing unless a list names the handles: the child would otherwise
    // also take every other inheritable handle of this process, its standard streams among them.
    inherit_only.emplace(null_device.get());
    if (!inherit_only->ready()) {
      return std::unexpected(last_os_error_text());
    }
    startup.StartupInfo.hStdInput = null_device.get();
    startup.StartupInfo.hStdOutput = null_device.get();
    startup.StartupInfo.hStdError = null_device.get();
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = inherit_only->list();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  PROCESS_INFORMATION info{};
  // The command line must be writable.
  if (!CreateProcessW(program->c_str(), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                      TRUE, flags, nullptr, nullptr, &startup.StartupInfo, &info)) {
    return std::unexpected(last_os_error_text());
  }
  // Nothing waits for the child's first thread.
  const UniqueHandle thread(info.hThread);
  return UniqueHandle(info.hProcess);
}

}  // namespace

std::expected<void, std::string> run_checked(const ChildCommand& command) {
  const auto child = start_process(command, ChildStreams::inherited);
  if (!child) {
    return std::unexpected(child.error());
  }
  if (WaitForSingleObject(child->get(), INFINITE) == WAIT_FAILED) {
    return std::unexpected(last_os_error_text());
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(child->get(), &code)) {
    return std::unexpected(last_os_error_text());
  }
  if (code != 0) {
    // Exception codes such as 0xC0000005 read as negative numbers.
    return std::unexpected(exit_code_text(static_cast<std::int32_t>(code)));
  }
  return {};
}

std::expected<void, std::string> start_detached(const ChildCommand& command) {
  // A child that outlives this process must not keep its streams open: a reader of them (a pipe
  // from `tavrick install`) would wait for their end until the child ends.
  const auto started = start_process(command, ChildStreams::null_device);
  if (!started) {
    return std::unexpected(started.error());
  }
  // Closing the process handle (`started`, on return) lets go of the child; it runs on by itself.
  return {};
}

}  // namespace tavrick

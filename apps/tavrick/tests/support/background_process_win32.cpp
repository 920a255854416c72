#include <windows.h>

#include "desktop/command_line.h"
#include "desktop/text_convert.h"
#include "support/background_process.h"

namespace tavrick::test {
namespace {

HANDLE inheritable_output(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

struct BackgroundProcess::State {
  HANDLE process = nullptr;
};

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program,
                                     const std::vector<std::string>& args,
                                     const std::filesystem::path& folder)
    : m_state(std::make_unique<State>()) {
  const HANDLE out = inheritable_output(folder / "background-out.txt");
  const HANDLE err = inheritable_output(folder / "background-err.txt");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::u16string line = utf16_from_utf8(windows_command_line({program.string(), args}));
  PROCESS_INFORMATION info{};
  if (CreateProcessW(program.c_str(), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                     TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
    CloseHandle(info.hThread);
    m_state->process = info.hProcess;
  }
  CloseHandle(out);
  CloseHandle(err);
}

BackgroundProcess::~BackgroundProcess() { kill(); }

bool BackgroundProcess::started() const { return m_state->process != nullptr; }

void BackgroundProcess::kill() {
  if (m_state->process == nullptr) {
    return;
  }
  TerminateProcess(m_state->process, 1);
  WaitForSingleObject(m_state->process, INFINITE);
  CloseHandle(m_state->process);
  m_state->process = nullptr;
}

}  // namespace tavrick::test

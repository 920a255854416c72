#include "support/spawn_win32.h"

#include "desktop/command_line.h"
#include "desktop/text_convert.h"

namespace tavrick::test {
namespace {

HANDLE inheritable_file(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

HANDLE start_with_output_files(const std::filesystem::path& program,
                               const std::vector<std::string>& args,
                               const std::filesystem::path& out,
                               const std::filesystem::path& err) {
  const HANDLE out_file = inheritable_file(out);
  const HANDLE err_file = inheritable_file(err);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out_file;
  startup.hStdError = err_file;
  std::u16string line = utf16_from_utf8(windows_command_line({program.string(), args}));
  PROCESS_INFORMATION info{};
  HANDLE process = nullptr;
  if (CreateProcessW(program.c_str(), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                     TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
    CloseHandle(info.hThread);
    process = info.hProcess;
  }
  CloseHandle(out_file);
  CloseHandle(err_file);
  return process;
}

}  // namespace tavrick::test

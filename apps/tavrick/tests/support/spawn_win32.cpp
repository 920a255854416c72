#include "support/spawn_win32.h"

#include <windows.h>

#include "desktop/command_line.h"
#include "desktop/text_convert.h"

namespace tavrick::test {
namespace {

UniqueHandle inheritable_file(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return UniqueHandle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

UniqueHandle start_with_output_files(const std::filesystem::path& program,
                                     const std::vector<std::string>& args,
                                     const std::filesystem::path& out,
                                     const std::filesystem::path& err) {
  const UniqueHandle out_file = inheritable_file(out);
  const UniqueHandle err_file = inheritable_file(err);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out_file.get();
  startup.hStdError = err_file.get();
  std::u16string line = utf16_from_utf8(windows_command_line({program.string(), args}));
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                      TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
    return UniqueHandle();
  }
  const UniqueHandle thread(info.hThread);
  return UniqueHandle(info.hProcess);
}

}  // namespace tavrick::test

#include <windows.h>

#include <tlhelp32.h>  // needs windows.h before it

#include <string>

#include "desktop/os_handle.h"
#include "desktop/text_convert.h"
#include "support/background_process.h"
#include "support/process_io.h"
#include "support/scratch_folder.h"
#include "support/spawn_win32.h"

namespace tavrick::test {
namespace {

std::wstring wide(std::string_view utf8) {
  const std::u16string text = utf16_from_utf8(utf8);
  return std::wstring(text.begin(), text.end());
}

}  // namespace

ProgramResult run_program(const std::filesystem::path& program,
                          const std::vector<std::string>& args,
                          const std::vector<std::pair<std::string, std::string>>& env,
                          const std::filesystem::path& folder) {
  const auto out_file = folder / "child-out.txt";
  const auto err_file = folder / "child-err.txt";
  ProgramResult result;
  {
    std::vector<std::unique_ptr<ScopedEnv>> scoped;
    for (const auto& [name, value] : env) {
      scoped.push_back(std::make_unique<ScopedEnv>(name, value));
    }
    const UniqueHandle process = start_with_output_files(program, args, out_file, err_file);
    if (process.is_open()) {
      WaitForSingleObject(process.get(), INFINITE);
      DWORD code = 0;
      GetExitCodeProcess(process.get(), &code);
      result.exit_code = static_cast<int>(code);
    }
  }
  result.out = read_file(out_file);
  result.err = read_file(err_file);
  return result;
}

std::size_t thread_count() {
  const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot.is_open()) {
    return 0;
  }
  std::size_t count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more;
       more = Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
      ++count;
    }
  }
  return count;
}

std::string path_list(const std::vector<std::string>& entries) {
  std::string list;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    list += (i == 0 ? "" : ";") + entries[i];
  }
  return list;
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)) {
  const std::wstring wide_name = wide(m_name);
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size > 0) {
    std::wstring old(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), old.data(), size);
    old.resize(length);
    m_had_value = true;
    m_old_value = utf8_from_utf16(std::u16string(old.begin(), old.end()));
  }
  SetEnvironmentVariableW(wide_name.c_str(), wide(value).c_str());
}

ScopedEnv::~ScopedEnv() {
  const std::wstring wide_name = wide(m_name);
  SetEnvironmentVariableW(wide_name.c_str(), m_had_value ? wide(m_old_value).c_str() : nullptr);
}

struct StreamToFile::Saved {
  DWORD which;
  HANDLE old;
  UniqueHandle file;
};

StreamToFile::StreamToFile(Stream stream, const std::filesystem::path& file) {
  const DWORD which = stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
  UniqueHandle target(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  m_saved = std::make_unique<Saved>(Saved{which, GetStdHandle(which), std::move(target)});
  SetStdHandle(which, m_saved->file.get());
}

StreamToFile::~StreamToFile() { SetStdHandle(m_saved->which, m_saved->old); }

struct StreamToPipe::State {
  DWORD which;
  HANDLE saved = nullptr;  ///< the stream's own handle while the pipe stands in for it
  UniqueHandle write_end{};
  UniqueHandle read_end{};
};

StreamToPipe::StreamToPipe(Stream stream)
    : m_state(std::make_unique<State>(
          State{stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE})) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
    return;
  }
  m_state->read_end.reset(read_end);
  m_state->write_end.reset(write_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  m_state->saved = GetStdHandle(m_state->which);
  SetStdHandle(m_state->which, write_end);
}

StreamToPipe::~StreamToPipe() { restore(); }

void StreamToPipe::restore() {
  if (m_state->write_end.is_open()) {
    SetStdHandle(m_state->which, m_state->saved);
    m_state->write_end.reset();
  }
}

std::optional<std::string> StreamToPipe::read_to_end(std::chrono::milliseconds limit) {
  std::string text;
  bool ended = false;
  // Takes what has arrived; done when the pipe fails, which is its end once every writer has
  // closed it.
  const auto drained = [&] {
    DWORD available = 0;
    if (!PeekNamedPipe(m_state->read_end.get(), nullptr, 0, nullptr, &available, nullptr)) {
      ended = GetLastError() == ERROR_BROKEN_PIPE;
      return true;
    }
    if (available > 0) {
      std::string piece(available, '\0');
      DWORD got = 0;
      ReadFile(m_state->read_end.get(), piece.data(), available, &got, nullptr);
      text.append(piece, 0, got);
    }
    return false;
  };
  if (!m_state->read_end.is_open() || !wait_until(drained, limit) || !ended) {
    return std::nullopt;
  }
  return text;
}

}  // namespace tavrick::test

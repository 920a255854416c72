#include <windows.h>

#include "support/background_process.h"
#include "support/spawn_win32.h"

namespace tavrick::test {

struct BackgroundProcess::State {
  UniqueHandle process;
};

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program,
                                     const std::vector<std::string>& args,
                                     const std::filesystem::path& folder)
    : m_state(std::make_unique<State>()) {
  m_state->process = start_with_output_files(program, args, folder / "background-out.txt",
                                             folder / "background-err.txt");
}

BackgroundProcess::~BackgroundProcess() { kill(); }

bool BackgroundProcess::started() const { return m_state->process.is_open(); }

void BackgroundProcess::kill() {
  if (!m_state->process.is_open()) {
    return;
  }
  TerminateProcess(m_state->process.get(), 1);
  WaitForSingleObject(m_state->process.get(), INFINITE);
  m_state->process.reset();
}

}  // namespace tavrick::test

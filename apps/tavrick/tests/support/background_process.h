#pragma once
// A child program that runs while the test goes on, ended by its process id.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavrick::test {

/// Starts `program` with `args` and the test's environment, its standard output and error in
/// files of `folder`. The destructor kills it (if still running) and waits for it.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const std::filesystem::path& folder);
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  ~BackgroundProcess();

  /// Whether the program was started.
  [[nodiscard]] bool started() const;
  /// Ends the program at once, as a crash would, and waits for it.
  void kill();

  struct State;

 private:
  std::unique_ptr<State> m_state;
};

/// Polls `done` every 20 ms until it holds or `limit` has passed; whether it held. A guard
/// against hanging on a child that never gets there, not a measure of speed.
[[nodiscard]] bool wait_until(const std::function<bool()>& done,
                              std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace tavrick::test

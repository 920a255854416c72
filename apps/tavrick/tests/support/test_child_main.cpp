// A small program for the child-process tests.
//   test_child exit N          ends with exit code N (any 32-bit value, e.g. -1073741819)
//   test_child args FILE ...   writes each argument after FILE to FILE, one per line, as UTF-8
//   test_child session FILE    writes its process id, parent's id and session id (Linux; zeros
//                              elsewhere)
//   test_child sleep SECONDS   waits, then ends with 0
// FILE appears whole: it is written beside and renamed into place.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string session_line() {
#ifdef _WIN32
  return "0 0 0\n";
#else
  return std::to_string(getpid()) + " " + std::to_string(getppid()) + " " +
         std::to_string(getsid(0)) + "\n";
#endif
}

[[noreturn]] void end_with(long code) {
#ifdef _WIN32
  ExitProcess(static_cast<UINT>(code));
#else
  std::exit(static_cast<int>(code));
#endif
}

bool write_whole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    return false;
  }
  std::remove(path.c_str());
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

int child_main(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "exit") {
    end_with(std::strtol(args[1].c_str(), nullptr, 10));
  }
  if (args.size() >= 2 && args[0] == "args") {
    std::string text;
    for (std::size_t i = 2; i < args.size(); ++i) {
      text += args[i] + "\n";
    }
    return write_whole(args[1], text) ? 0 : 3;
  }
  if (args.size() == 2 && args[0] == "session") {
    return write_whole(args[1], session_line()) ? 0 : 3;
  }
  if (args.size() == 2 && args[0] == "sleep") {
    std::this_thread::sleep_for(std::chrono::seconds(std::strtol(args[1].c_str(), nullptr, 10)));
    return 0;
  }
  std::fputs("test_child: exit N | args FILE ... | session FILE | sleep SECONDS\n", stderr);
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), length, nullptr, nullptr);
    arg.resize(arg.size() - 1);
    args.push_back(arg);
  }
  return child_main(args);
}
#else
int main(int argc, char** argv) {
  return child_main(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}
#endif

// A small program for the child-process tests.
//   test_child exit N          ends with exit code N (any 32-bit value, e.g. -1073741819)
//   test_child args FILE ...   writes each argument after FILE to FILE, one per line, as UTF-8
//   test_child session FILE    writes its process id, parent's id and session id (Linux; zeros
//                              elsewhere)
//   test_child sleep SECONDS   waits, then ends with 0
//   test_child print TEXT      writes TEXT and a line end to its standard output
//   test_child hold FILE RELEASE  writes "held\n" to its standard output, then FILE, then waits
//                              until RELEASE exists (two minutes at most), removes FILE and
//                              ends with 0
//   test_child streams         writes lines to its standard output and error in turn, as the
//                              console program does (see write_streams)
//   test_child run PROGRAM ... runs PROGRAM with the arguments after it as the bridge runs its
//                              child programs (run_checked) and prints "ok" or the error text
// FILE appears whole: it is written beside and renamed into place. When the environment variable
// TAVRICK_TEST_CHILD_TRACE names a file, every start first appends the program's own full path
// and a line end to it, so that a test can tell which copy of the program ran.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "desktop/child_process.h"
#include "desktop/console_output.h"
#include "desktop/data_dir.h"
#include "desktop/program_search.h"

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

/// "console" when the stream is a console, "file" otherwise (always "file" on Linux).
const char* stream_kind(tavrick::Stream stream) {
#ifdef _WIN32
  DWORD mode = 0;
  const HANDLE handle =
      GetStdHandle(stream == tavrick::Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  return GetConsoleMode(handle, &mode) ? "console" : "file";
#else
  static_cast<void>(stream);
  return "file";
#endif
}

/// The lines of the "streams" command: first what the two streams are, then lines alternating
/// between standard output and error. The third is longer than one write of the console layer
/// (8192 UTF-16 units), with Vietnamese letters and signs across the boundary between two writes.
void write_streams() {
  using tavrick::Stream;
  tavrick::write_text(Stream::out, std::string("1 ra: ") + stream_kind(Stream::out) + "\n");
  tavrick::write_text(Stream::err, std::string("2 lỗi: ") + stream_kind(Stream::err) + "\n");
  std::string long_text = "3";
  for (int i = 0; i < 81; ++i) {
    long_text += std::string(99, 'a') + "\n";
  }
  long_text += std::string(8190 - long_text.size(), 'b') + "Độ sáng ══ ✗\n";
  tavrick::write_text(Stream::out, long_text);
  tavrick::write_text(Stream::err, "4 ✗ hết\n");
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

void trace_start() {
  const char* trace = std::getenv("TAVRICK_TEST_CHILD_TRACE");
  const auto own = tavrick::own_program_path();
  if (trace != nullptr && own) {
    std::ofstream(trace, std::ios::binary | std::ios::app) << tavrick::path_text(*own) << "\n";
  }
}

int child_main(const std::vector<std::string>& args) {
  trace_start();
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
  if (args.size() == 2 && args[0] == "print") {
    tavrick::write_text(tavrick::Stream::out, args[1] + "\n");
    return 0;
  }
  if (args.size() == 3 && args[0] == "hold") {
    tavrick::write_text(tavrick::Stream::out, "held\n");
    if (!write_whole(args[1], "")) {
      return 3;
    }
    for (int i = 0; i < 6000 && !std::filesystem::exists(args[2]); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::remove(args[1].c_str());
    return 0;
  }
  if (args.size() == 1 && args[0] == "streams") {
    write_streams();
    return 0;
  }
  if (args.size() >= 2 && args[0] == "run") {
    const auto ran = tavrick::run_checked(
        {.program = args[1], .args = std::vector<std::string>(args.begin() + 2, args.end())});
    const std::string text = (ran ? std::string("ok") : ran.error()) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  std::fputs(
      "test_child: exit N | args FILE ... | session FILE | sleep SECONDS | print TEXT | hold FILE "
      "RELEASE | streams | run PROGRAM ...\n",
      stderr);
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

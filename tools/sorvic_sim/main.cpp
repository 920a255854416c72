// sorvic-sim [--port N]: a stand-in for the editing application's control port. Prints every
// request line it receives on standard output; reads commands on standard input that change
// what it reports:
//   page loupe|crop|masking|remove|redEye|wb|library   the view ui.inspect reports
//   mask N        the active mask id          photo N    the active photo id
//   flag pick|reject|none                     the flag photo.inspect reports
//   quit          ends the program
// Without standard input (or at its end) it keeps serving until it is terminated.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "sorvic_sim/sorvic_sim.h"

namespace {

std::mutex g_output_lock;

void print_line(std::FILE* stream, std::string_view text) {
  std::lock_guard guard(g_output_lock);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

template <typename Number>
bool parse_number(std::string_view text, Number& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

/// Applies one command line; false for a line it does not understand.
bool apply_command(sorvic_sim::Simulator& simulator, std::string_view line) {
  const auto space = line.find(' ');
  const std::string_view word = line.substr(0, space);
  const std::string_view argument =
      space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
  if (word == "page") {
    for (std::string_view page : sorvic_sim::Simulator::page_names()) {
      if (page == argument) {
        simulator.set_page(page);
        return true;
      }
    }
    return false;
  }
  if (word == "mask" || word == "photo") {
    std::uint64_t id = 0;
    if (!parse_number(argument, id)) {
      return false;
    }
    tavrick::Json ui = simulator.ui_result();
    ui[word == "mask" ? "activeMask" : "active"] = id;
    simulator.set_ui_result(std::move(ui));
    return true;
  }
  if (word == "flag" && !argument.empty()) {
    tavrick::Json photo = simulator.photo_result();
    photo["flag"] = std::string(argument);
    simulator.set_photo_result(std::move(photo));
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint16_t port = 7980;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--port" && i + 1 < argc && parse_number(std::string_view(argv[i + 1]), port)) {
      ++i;
      continue;
    }
    print_line(stderr, "usage: sorvic-sim [--port N]   (N = 0 chooses a free port)");
    return 2;
  }
  auto simulator = sorvic_sim::Simulator::start(port);
  if (!simulator) {
    print_line(stderr, "sorvic-sim: cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                           simulator.error());
    return 1;
  }
  (*simulator)->set_request_observer([](std::string_view line) { print_line(stdout, line); });
  print_line(stderr, "sorvic-sim: listening on 127.0.0.1:" + std::to_string((*simulator)->port()));

  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line == "quit") {
      return 0;
    }
    if (!line.empty() && !apply_command(**simulator, line)) {
      print_line(stderr, "sorvic-sim: unknown command: " + line);
    }
  }
  for (;;) {
    std::this_thread::sleep_for(std::chrono::hours(1));
  }
}

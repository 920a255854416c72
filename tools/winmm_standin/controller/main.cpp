// winmm-standin [--port N]: the controller of the WinMM stand-in. Listens on 127.0.0.1 (port 0,
// the default, picks a free one), says "listening on 127.0.0.1:PORT" on standard error, serves
// every stand-in DLL that connects (their programs get the port in WINMM_STANDIN_PORT), reads
// the test's commands on standard input and writes the record, one event a line, on standard
// output. Commands:
//   plug KEY PATH NAME…          a device at the end of the list; KEY names it in later commands
//   plug-for N KEY PATH NAME…    the same, gone again once N listings have seen it (it vanishes
//                                between the program's listing and its opening)
//   unplug KEY                   takes the device out of the list; numbers after it shift; a
//                                handle open on it learns of it as the stack says
//   replug KEY [MS]              unplug, then the same device (name and path) again at the end
//                                of the list, MS milliseconds later (default 0: at once)
//   stack classic|services       how later removals reach open handles: MIM_CLOSE (classic), or
//                                a silent handle that fails every call but midiInClose with
//                                MMSYSERR_NODRIVER (the Windows MIDI Services)
//   play KEY HEX…                bytes the device sends now, e.g. "play lp b0 21 01"
//   repeat KEY HEX…              sends those bytes again every millisecond; "repeat KEY off"
//   fail KEY FUNCTION RESULT [N] the next N calls (default: all) of FUNCTION for that device
//                                fail with RESULT (a name such as MMSYSERR_ALLOCATED, or a
//                                number); "fail KEY FUNCTION off" clears it. FUNCTION is a
//                                midiIn… function name, DRV_QUERYDEVICEINTERFACESIZE or
//                                DRV_QUERYDEVICEINTERFACE
//   mark TEXT                    writes TEXT into the record
//   quit
// PATH and NAME are UTF-8, where \uXXXX (four hexadecimal digits) stands for one UTF-16 unit,
// unpaired surrogates too; any other backslash is itself. Each command is echoed into the record as
// "> COMMAND" once it has taken effect ("! …" instead when it is refused).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device_model.h"
#include "protocol.h"
#include "text_escape.h"

namespace {

using winmm_standin::DeviceModel;

void write_record(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool send_line(int fd, std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::vector<std::string> split_words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) {
      words.emplace_back(text.substr(at, end - at));
    }
    at = end + 1;
  }
  return words;
}

/// The text after the first `count` words of `line`.
std::string_view rest_after(std::string_view line, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t word = 0; word < count; ++word) {
    at = line.find_first_not_of(' ', at);
    at = line.find(' ', at);
    if (at == std::string_view::npos) {
      return {};
    }
  }
  return line.substr(std::min(line.find_first_not_of(' ', at), line.size()));
}

std::optional<std::size_t> number_of(std::string_view text) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

/// Hexadecimal bytes written one or more to a word ("b0 21 01" or "b02101").
std::optional<std::vector<std::uint8_t>> bytes_of(const std::vector<std::string>& words,
                                                  std::size_t first) {
  std::string hex;
  for (std::size_t i = first; i < words.size(); ++i) {
    hex += words[i];
  }
  auto bytes = winmm_standin::bytes_from_hex(hex);
  if (!bytes || bytes->empty()) {
    return std::nullopt;
  }
  return bytes;
}

struct Connection {
  enum class Kind { unknown, control, data } kind = Kind::unknown;
  unsigned pid = 0;
  std::string pending;  // bytes read past the last whole line
};

class Controller {
 public:
  explicit Controller(int listener)
      : m_listener(listener),
        m_model(&write_record, [](int fd, std::string_view line) { send_line(fd, line); }) {}

  int run() {
    bool input_open = true;
    std::string input;
    while (!m_quit) {
      std::vector<pollfd> fds;
      fds.push_back({m_listener, POLLIN, 0});
      fds.push_back({input_open ? 0 : -1, POLLIN, 0});
      for (const auto& [fd, connection] : m_connections) {
        fds.push_back({fd, POLLIN, 0});
      }
      if (poll(fds.data(), fds.size(), poll_timeout()) < 0) {
        return 1;
      }
      if ((fds[0].revents & POLLIN) != 0) {
        accept_connection();
      }
      if (fds[1].revents != 0) {
        input_open = read_into(0, input);
        // Every whole line of one read is applied before any request is served, so that
        // commands written together take effect together.
        take_lines(input, [this](std::string_view line) { command(line); });
      }
      for (std::size_t i = 2; i < fds.size(); ++i) {
        if (fds[i].revents != 0) {
          serve(fds[i].fd);
        }
      }
      play_repeats();
      plug_returns();
    }
    return 0;
  }

 private:
  static bool read_into(int fd, std::string& pending) {
    char chunk[65536];
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n <= 0) {
      return false;
    }
    pending.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  template <class Handler>
  static void take_lines(std::string& pending, Handler&& handler) {
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      handler(std::string_view(pending).substr(start, end - start));
    }
    pending.erase(0, start);
  }

  void accept_connection() {
    const int fd = accept(m_listener, nullptr, nullptr);
    if (fd < 0) {
      return;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    m_connections.emplace(fd, Connection{});
  }

  void serve(int fd) {
    Connection& connection = m_connections.at(fd);
    if (!read_into(fd, connection.pending)) {
      if (connection.kind == Connection::Kind::control) {
        m_model.end_process(fd, connection.pid);
      } else if (connection.kind == Connection::Kind::data) {
        m_model.detach(fd);
      }
      ::close(fd);
      m_connections.erase(fd);
      return;
    }
    take_lines(connection.pending, [&](std::string_view line) { request(fd, connection, line); });
  }

  void request(int fd, Connection& connection, std::string_view line) {
    const auto words = split_words(line);
    if (words.empty()) {
      return;
    }
    const std::string& verb = words[0];
    std::optional<std::size_t> number;
    if (words.size() > 1) {
      number = number_of(words[1]);
    }
    if (verb == "log" && number) {
      const std::string_view text = rest_after(line, 2);
      write_record(*number == 0 ? std::string(text)
                                : "h" + std::to_string(*number) + " " + std::string(text));
      return;
    }
    if (verb == "hello" && number) {
      connection.kind = Connection::Kind::control;
      connection.pid = static_cast<unsigned>(*number);
      return;
    }
    if (verb == "attach" && number) {
      connection.kind = Connection::Kind::data;
      m_model.attach(static_cast<unsigned>(*number), fd);
      return;
    }
    std::string reply = "err 11";  // MMSYSERR_INVALPARAM for a request it cannot read
    const unsigned pid = connection.pid;
    if (verb == "count") {
      reply = m_model.count(pid);
    } else if (verb == "fault" && number && words.size() == 3) {
      reply = m_model.fault(static_cast<unsigned>(*number), words[2]);
    } else if (number) {
      if (verb == "caps") {
        reply = m_model.caps(pid, *number);
      } else if (verb == "hcaps") {
        reply = m_model.caps_of_handle(static_cast<unsigned>(*number));
      } else if (verb == "ifsize") {
        reply = m_model.interface_size(pid, *number);
      } else if (verb == "iface") {
        reply = m_model.interface_path(pid, *number);
      } else if (verb == "open") {
        reply = m_model.open(fd, pid, *number);
      } else if (verb == "closed") {
        reply = m_model.closed(static_cast<unsigned>(*number));
      }
    }
    send_line(fd, reply);
  }

  void command(std::string_view line) {
    if (const auto refused = apply(line)) {
      write_record("! " + *refused + ": " + std::string(line));
    } else {
      write_record("> " + std::string(line));
    }
  }

  /// Applies one command; the reason when it is refused.
  std::optional<std::string> apply(std::string_view line) {
    const auto words = split_words(line);
    if (words.empty()) {
      return "empty command";
    }
    const std::string& verb = words[0];
    if (verb == "plug" && words.size() >= 4) {
      return plug(words[1], words[2], rest_after(line, 3), -1);
    }
    if (verb == "plug-for" && words.size() >= 5) {
      const auto listings = number_of(words[1]);
      if (!listings) {
        return "bad listing count";
      }
      return plug(words[2], words[3], rest_after(line, 4), static_cast<int>(*listings));
    }
    if (verb == "unplug" && words.size() == 2) {
      m_repeats.erase(words[1]);
      return m_model.unplug(words[1]);
    }
    if (verb == "replug" && (words.size() == 2 || words.size() == 3)) {
      return replug(words);
    }
    if (verb == "stack" && words.size() == 2 && (words[1] == "classic" || words[1] == "services")) {
      m_model.use_stack(words[1] == "classic" ? winmm_standin::Stack::classic
                                              : winmm_standin::Stack::services);
      return std::nullopt;
    }
    if (verb == "play" && words.size() >= 3) {
      const auto bytes = bytes_of(words, 2);
      if (!bytes) {
        return "bad bytes";
      }
      const auto data = m_model.data_connection(words[1]);
      if (!data || !send_line(*data, "bytes " + winmm_standin::hex_from_bytes(*bytes))) {
        return "no open handle holds " + words[1];
      }
      return std::nullopt;
    }
    if (verb == "repeat" && words.size() >= 3) {
      if (words[2] == "off") {
        m_repeats.erase(words[1]);
        return std::nullopt;
      }
      const auto bytes = bytes_of(words, 2);
      if (!bytes) {
        return "bad bytes";
      }
      m_repeats[words[1]] = "bytes " + winmm_standin::hex_from_bytes(*bytes);
      return std::nullopt;
    }
    if (verb == "fail" && (words.size() == 4 || words.size() == 5)) {
      const auto code =
          words[3] == "off" ? std::optional<unsigned>(0) : winmm_standin::result_code(words[3]);
      std::optional<std::size_t> times;
      if (words.size() == 5) {
        times = number_of(words[4]);
      }
      if (!code || (words.size() == 5 && !times)) {
        return "bad result or count";
      }
      m_model.fail(words[1], words[2], *code, times ? static_cast<int>(*times) : -1);
      return std::nullopt;
    }
    if (verb == "mark") {
      return std::nullopt;
    }
    if (verb == "quit") {
      m_quit = true;
      return std::nullopt;
    }
    return "unknown command";
  }

  std::optional<std::string> plug(const std::string& key, std::string_view path,
                                  std::string_view name, int listings) {
    return m_model.plug(key, winmm_standin::unescape_utf16(path),
                        winmm_standin::unescape_utf16(name), listings);
  }

  /// A device unplugged and plugged in again under its name and path, as a new device at the
  /// end of the list (so usually at another number), at once or a moment later.
  std::optional<std::string> replug(const std::vector<std::string>& words) {
    const std::string& key = words[1];
    std::optional<std::size_t> delay = 0;
    if (words.size() == 3) {
      delay = number_of(words[2]);
    }
    const auto identity = m_model.identity(key);
    if (!delay || !identity) {
      return !delay ? "bad delay" : "not plugged: " + key;
    }
    m_repeats.erase(key);
    if (auto refused = m_model.unplug(key)) {
      return refused;
    }
    if (*delay == 0) {
      return m_model.plug(key, identity->first, identity->second);
    }
    m_returns.push_back(
        Return{key, identity->first, identity->second,
               std::chrono::steady_clock::now() + std::chrono::milliseconds(*delay)});
    return std::nullopt;
  }

  /// Plugs in the devices whose return is due.
  void plug_returns() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(m_returns, [&](const Return& back) {
      if (back.due > now) {
        return false;
      }
      const auto refused = m_model.plug(back.key, back.path, back.name);
      write_record(refused ? "! " + *refused + ": the return of " + back.key
                           : back.key + " plugged in again");
      return true;
    });
  }

  /// How long poll may wait: until the next repeat or return, or for ever.
  int poll_timeout() const {
    if (!m_repeats.empty()) {
      return 1;
    }
    if (m_returns.empty()) {
      return -1;
    }
    auto due = m_returns.front().due;
    for (const Return& back : m_returns) {
      due = std::min(due, back.due);
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
  }

  void play_repeats() {
    const auto now = std::chrono::steady_clock::now();
    if (m_repeats.empty() || now - m_last_repeat < std::chrono::milliseconds(1)) {
      return;
    }
    m_last_repeat = now;
    for (const auto& [key, line] : m_repeats) {
      // While nobody holds the device its bytes go nowhere, as a device's do.
      if (const auto data = m_model.data_connection(key)) {
        send_line(*data, line);
      }
    }
  }

  int m_listener;
  DeviceModel m_model;
  std::map<int, Connection> m_connections;
  std::map<std::string, std::string> m_repeats;  // device key → its "bytes" line
  struct Return {
    std::string key;
    std::u16string path;
    std::u16string name;
    std::chrono::steady_clock::time_point due;
  };
  std::vector<Return> m_returns;  // devices replugged with a delay, not back yet
  std::chrono::steady_clock::time_point m_last_repeat;
  bool m_quit = false;
};

}  // namespace

int main(int argc, char** argv) {
  unsigned short port = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::optional<std::size_t> value;
    if (i + 1 < argc) {
      value = number_of(argv[i + 1]);
    }
    if (arg == "--port" && value && *value <= 65535) {
      port = static_cast<unsigned short>(*value);
      ++i;
      continue;
    }
    std::fputs("usage: winmm-standin [--port N]\n", stderr);
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener, 64) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("winmm-standin: cannot listen");
    return 1;
  }
  std::fprintf(stderr, "listening on 127.0.0.1:%u\n",
               static_cast<unsigned>(ntohs(address.sin_port)));
  return Controller(listener).run();
}

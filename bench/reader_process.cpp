#include "reader_process.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "jack_clients.h"
#include "relay.h"

namespace bench {

std::unique_ptr<ReaderProcess> ReaderProcess::start(const std::string& client_name,
                                                    const std::string& source, std::size_t capacity,
                                                    std::optional<std::uint16_t> relay_port,
                                                    const std::filesystem::path& folder) {
  const auto results = folder / (client_name + ".arrivals");
  const auto output = folder / (client_name + ".log");
  std::vector<std::string> argv{std::filesystem::read_symlink("/proc/self/exe").string(),
                                "reader",
                                source,
                                client_name,
                                std::to_string(capacity),
                                results.string()};
  if (relay_port) {
    argv.push_back(std::to_string(*relay_port));
  }
  auto child = Child::start(argv, {}, output);
  if (!child || !wait_for_text(output, "ready", 10'000)) {
    std::fprintf(stderr, "the reader %s did not start; its output:\n%s\n", client_name.c_str(),
                 read_file(output).c_str());
    return nullptr;
  }
  return std::unique_ptr<ReaderProcess>(new ReaderProcess(std::move(*child), results, output));
}

bool ReaderProcess::finish() {
  m_child.stop();
  std::ifstream in(m_results);
  if (!in) {
    std::fprintf(stderr, "the reader wrote no arrivals; its output:\n%s\n",
                 read_file(m_output).c_str());
    return false;
  }
  std::int64_t at = 0;
  unsigned value = 0;
  while (in >> at >> value) {
    m_arrived_ns.push_back(at);
    m_values.push_back(static_cast<std::uint8_t>(value));
  }
  return true;
}

int reader_main(std::span<char* const> args) {
  if (args.size() != 4 && args.size() != 5) {
    std::fprintf(stderr, "usage: tavrick-bench reader SOURCE CLIENT CAPACITY RESULTS [PORT]\n");
    return 2;
  }
  // Blocked before JACK starts its threads, so that only sigwait below takes the signal.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  const std::string source = args[0];
  const std::string client = args[1];
  const auto capacity = static_cast<std::size_t>(std::strtoull(args[2], nullptr, 10));
  std::unique_ptr<JackReader> reader;
  std::unique_ptr<JackRelay> relay;
  bool connected = false;
  if (args.size() == 5) {
    relay = JackRelay::open(client, static_cast<std::uint16_t>(std::atoi(args[4])));
    connected = relay && relay->connect_from(source);
  } else {
    reader = JackReader::open(client, capacity);
    connected = reader && reader->connect_from(source);
  }
  if (!connected) {
    std::fprintf(stderr, "cannot open the JACK client %s or connect it to %s\n", client.c_str(),
                 source.c_str());
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  relay.reset();
  if (!reader) {
    return 0;
  }
  const std::size_t count = std::min(reader->count(), capacity);
  FILE* out = std::fopen(args[3], "w");
  if (out == nullptr) {
    return 1;
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::fprintf(out, "%lld %u\n", static_cast<long long>(reader->arrived_ns()[i]),
                 static_cast<unsigned>(reader->values()[i]));
  }
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace bench

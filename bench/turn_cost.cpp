// The bridge's own work for one knob turn, without MIDI service or thread hand-offs: the bytes
// of a turn decoded and handled by the engine on this thread, the request line written to a
// TCP peer on 127.0.0.1 that only reads. Times and allocations per turn.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "benchmarks.h"
#include "desktop/log.h"
#include "driver/control_event.h"
#include "driver/driver_state.h"
#include "driver/input.h"
#include "link/link.h"

namespace {

// Allocations made by each thread, counted by the replaced operator new below.
thread_local std::uint64_t t_allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
  ++t_allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace bench {

namespace {

// A listener on 127.0.0.1 that accepts one connection and reads it to its end, as the
// application does: asleep in recv until a line comes.
class Sink {
 public:
  Sink() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 1) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] {
      const int connection = ::accept(m_listener, nullptr, nullptr);
      std::array<char, 65536> buffer{};
      while (connection >= 0 && ::recv(connection, buffer.data(), buffer.size(), 0) > 0) {
      }
      if (connection >= 0) {
        ::close(connection);
      }
    });
  }
  ~Sink() {
    ::shutdown(m_listener, SHUT_RDWR);  // ends an accept still waiting
    if (m_thread.joinable()) {
      m_thread.join();
    }
    ::close(m_listener);
  }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  [[nodiscard]] std::uint16_t port() const { return m_port; }

 private:
  int m_listener = -1;
  std::uint16_t m_port = 0;
  std::thread m_thread;
};

constexpr std::size_t k_batch = 1000;

// One turn of the Exposure knob (loupe view, the state's first page) by 1 to 5 detents.
void turn(tavrick::DriverState& state, std::size_t i) {
  const std::array<std::uint8_t, 3> bytes{0xB0, 33, static_cast<std::uint8_t>(1 + i % 5)};
  if (const auto event = tavrick::decode_midi(bytes)) {
    tavrick::handle_event(state, *event);
  }
}

// The measured turns, apart so that callgrind can count them alone
// (--toggle-collect='*measured_turns*'): one batch of k_batch turns per element of `per_turn_ns`,
// which receives its time per turn.
[[gnu::noinline]] void measured_turns(tavrick::DriverState& state,
                                      std::vector<std::int64_t>& per_turn_ns) {
  for (auto& batch_ns : per_turn_ns) {
    const std::int64_t start = now_ns();
    for (std::size_t i = 0; i < k_batch; ++i) {
      turn(state, i);
    }
    batch_ns = (now_ns() - start) / static_cast<std::int64_t>(k_batch);
  }
}

}  // namespace

int run_turn_cost(const Settings& settings) {
  const std::size_t batches = std::max<std::size_t>(1, settings.turns / k_batch);
  const Sink sink;
  if (sink.port() == 0) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
    return 1;
  }
  tavrick::set_log_capture([](std::string_view) {});  // the link's notice of its connection
  std::vector<std::int64_t> per_turn_ns(batches);
  double allocations = 0;
  {
    // All turns fall in one interaction: the steady case of a knob being turned.
    tavrick::DriverState state(tavrick::Link::create(sink.port()));
    for (std::size_t i = 0; i < k_batch; ++i) {  // connects, fills the caches
      turn(state, i);
    }
    const std::uint64_t allocations_before = t_allocations;
    measured_turns(state, per_turn_ns);
    allocations = static_cast<double>(t_allocations - allocations_before) /
                  static_cast<double>(batches * k_batch);
  }
  tavrick::set_log_capture(nullptr);
  std::sort(per_turn_ns.begin(), per_turn_ns.end());
  std::printf(
      "The bridge's own work for one knob turn: decoding, the engine, the request line and\n"
      "its write to a reader asleep in recv, on one thread\n  %s\n",
      machine_line().c_str());
  std::printf("  %zu turns in batches of %zu: per turn median %.2f µs, best batch %.2f µs\n",
              batches * k_batch, k_batch, static_cast<double>(per_turn_ns[batches / 2]) / 1e3,
              static_cast<double>(per_turn_ns.front()) / 1e3);
  std::printf("  allocations per turn: %.1f\n", allocations);
  return 0;
}

}  // namespace bench

// winmm_close_stress CYCLES | once: opens the first MIDI input port whose name contains "stress"
// through the bridge's WinMM backend and closes it again, CYCLES times, while the WinMM stand-in
// keeps its device sending; each cycle waits for a delivery before it closes, so that closes
// land anywhere in the stream, in the middle of system-exclusive messages too. The callback
// reports every delivery to the stand-in (its own export winmm_standin_delivery), whose record
// then tells a delivery made while a close is under way. Prints "done CYCLES" at the end.
// `once` does one cycle, prints "closed" and then keeps running (until it is ended) so that the
// stand-in can go on calling a handle whose close failed.
// Exit codes: 0 done, 1 no such port, the port cannot be opened or nothing arrives, 2 usage,
// 3 not running with the stand-in.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <thread>

#include "midi/midi_port.h"
#include "midi/port_match.h"

namespace {

using DeliveryReport = void(WINAPI*)();

std::mutex g_lock;
std::condition_variable g_delivered;
unsigned long g_deliveries = 0;  // guarded by g_lock

int fail(const char* text) {
  std::fprintf(stderr, "winmm_close_stress: %s\n", text);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc == 2 ? argv[1] : "";
  const bool once = mode == "once";
  const long cycles = once ? 1 : std::strtol(mode.data(), nullptr, 10);
  if (cycles <= 0) {
    std::fputs("usage: winmm_close_stress CYCLES | once\n", stderr);
    return 2;
  }
  const auto report = reinterpret_cast<DeliveryReport>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"winmm.dll"), "winmm_standin_delivery")));
  if (report == nullptr) {
    return 3;
  }
  tavrick::MidiBackend& backend = tavrick::system_midi_backend();
  std::optional<tavrick::MidiPort> port;
  if (auto ports = backend.list_input_ports()) {
    for (tavrick::MidiPort& listed : *ports) {
      if (!port && tavrick::port_matches(listed.name, "stress")) {
        port = std::move(listed);
      }
    }
  }
  if (!port) {
    return fail("no port named stress");
  }
  for (long cycle = 0; cycle < cycles; ++cycle) {
    unsigned long before = 0;
    {
      std::lock_guard lock(g_lock);
      before = g_deliveries;
    }
    auto connection = backend.open_port(*port, [report](std::span<const std::uint8_t>) {
      report();
      std::lock_guard lock(g_lock);
      ++g_deliveries;
      g_delivered.notify_all();
    });
    if (!connection) {
      return fail(connection.error().c_str());
    }
    {
      std::unique_lock lock(g_lock);
      if (!g_delivered.wait_for(lock, std::chrono::seconds(30),
                                [before] { return g_deliveries > before; })) {
        return fail("nothing arrived");
      }
    }
    tavrick::close_port(std::move(*connection));
  }
  if (once) {
    std::puts("closed");
    std::fflush(stdout);
    while (true) {
      std::this_thread::sleep_for(std::chrono::hours(1));
    }
  }
  std::printf("done %ld\n", cycles);
  return 0;
}

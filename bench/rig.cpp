#include "rig.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace bench {

Rig::~Rig() {
  // The bridge first, so that it never sees the surface or the server vanish under it.
  if (bridge) {
    bridge->stop();
  }
  reference.reset();
  surface.reset();
  relay_peer.reset();
  peer.reset();
  if (jack) {
    jack->stop();
  }
}

bool start_bridge(Rig& rig, const Settings& settings) {
  rig.bridge.reset();
  const auto data = rig.dir.path() / ("data-" + std::to_string(now_ns()));
  rig.bridge =
      Child::start({settings.tavrick, "run", "--no-env", "--port", std::to_string(rig.peer->port()),
                    "--source", Rig::k_surface_name},
                   {"LOCALAPPDATA=" + data.string(), "JACK_DEFAULT_SERVER=" + rig.server_name},
                   rig.bridge_log());
  if (!rig.bridge) {
    std::fprintf(stderr, "cannot start %s\n", settings.tavrick.c_str());
    return false;
  }
  if (!wait_for_text(rig.bridge_log(), "→ đang nghe", 15'000)) {
    std::fprintf(stderr, "the bridge did not open the surface; its log:\n%s\n",
                 read_file(rig.bridge_log()).c_str());
    return false;
  }
  // Connected, and the first UI poll answered: the page is the loupe.
  const std::int64_t deadline = now_ns() + 10'000'000'000;
  while (rig.peer->line_count() == 0 && now_ns() < deadline) {
    sleep_ms(10);
  }
  if (rig.peer->line_count() == 0) {
    std::fprintf(stderr, "the bridge did not connect to the stand-in; its log:\n%s\n",
                 read_file(rig.bridge_log()).c_str());
    return false;
  }
  sleep_ms(300);
  return true;
}

namespace {

bool start_reference(Rig& rig, Reference reference, std::size_t turns) {
  rig.reference_kind = reference;
  if (reference == Reference::baseline) {
    rig.reference = ReaderProcess::start("tavrick-bench-baseline", rig.surface->port_name(), turns,
                                         std::nullopt, rig.dir.path());
  } else {
    rig.relay_peer = AppPeer::start();
    if (!rig.relay_peer) {
      std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
      return false;
    }
    rig.reference = ReaderProcess::start("tavrick-bench-relay", rig.surface->port_name(), 0,
                                         rig.relay_peer->port(), rig.dir.path());
  }
  return rig.reference != nullptr;
}

}  // namespace

std::unique_ptr<Rig> start_rig(const Settings& settings, TurnPlan plan, Reference reference,
                               Order order) {
  auto rig = std::make_unique<Rig>();
  rig->server_name = "tavrick-bench-" + std::to_string(getpid());
  rig->jack = start_jack_server(rig->server_name, settings.period, rig->dir.path() / "jackd.log");
  if (!rig->jack) {
    return nullptr;
  }
  rig->peer = AppPeer::start();
  if (!rig->peer) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
    return nullptr;
  }
  const std::size_t turns = plan.due_ns.size();
  rig->surface = JackSurface::open(Rig::k_surface_name, std::move(plan));
  if (!rig->surface) {
    std::fprintf(stderr, "cannot open the surface's JACK client\n");
    return nullptr;
  }
  const bool with_reference = reference != Reference::none;
  if (with_reference && order == Order::reference_first &&
      !start_reference(*rig, reference, turns)) {
    return nullptr;
  }
  if (!start_bridge(*rig, settings)) {
    return nullptr;
  }
  if (with_reference && order == Order::bridge_first && !start_reference(*rig, reference, turns)) {
    return nullptr;
  }
  return rig;
}

std::vector<PeerLine> adjust_lines(const AppPeer& peer) {
  std::vector<PeerLine> result;
  for (const auto& line : peer.lines()) {
    if (line.kind == LineKind::adjust) {
      result.push_back(line);
    }
  }
  return result;
}

std::uint8_t value_of_delta(double delta) {
  const double detents = delta / 0.05;
  const double whole = std::round(detents);
  if (std::abs(detents - whole) > 1e-6 || whole < -64 || whole > 63 || whole == 0) {
    return 0;
  }
  const int value = static_cast<int>(whole);
  return static_cast<std::uint8_t>(value < 0 ? value + 128 : value);
}

}  // namespace bench

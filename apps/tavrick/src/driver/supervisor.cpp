// run_driver: start-up of the engine threads, then the watch over the MIDI ports.

#include "driver/supervisor.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "bindings/binding_table.h"
#include "desktop/detached_thread.h"
#include "desktop/log.h"
#include "desktop/port_env.h"
#include "desktop/thread_name.h"
#include "driver/event_loop.h"
#include "driver/open_matching.h"
#include "link/link.h"
#include "midi/port_match.h"

namespace tavrick {

namespace {

/// Body of the event-loop thread as run_driver starts it: however `loop` ends, by returning or
/// by an exception, `finished` is set for the supervisor to see.
void run_event_loop(const std::function<void(DriverReceiver, std::shared_ptr<Link>)>& loop,
                    DriverReceiver receiver, std::shared_ptr<Link> link,
                    std::atomic<bool>& finished) {
  try {
    loop(std::move(receiver), std::move(link));
  } catch (...) {
    // Leaving the thread, the exception would end the process at once (std::terminate) with
    // another exit code and no line in the log; as an end of the loop the supervisor reports it.
    finished.store(true);
    return;
  }
  finished.store(true);
}

}  // namespace

Supervisor::Supervisor(std::string source, DriverSender sender, MidiBackend& backend,
                       std::function<bool()> event_loop_finished, const SleepClocks& clocks,
                       PassTiming timing)
    : m_source(std::move(source)),
      m_sender(std::move(sender)),
      m_backend(backend),
      m_event_loop_finished(std::move(event_loop_finished)),
      m_timing(timing),
      m_schedule(timing),
      m_resume(clocks) {
  m_backend.follow_devices(m_wakeup);
}

std::optional<int> Supervisor::pass() {
  // Passes keep their rhythm from their starts: one that waited on a MIDI service that does not
  // answer (up to its bound) does not put the next one off.
  const Instant started = steady_clock().now();
  if (m_event_loop_finished()) {
    log_line("✗ driver dừng bất thường");
    close_all();
    m_sender.reset();
    return 1;
  }
  // Checked on every pass, so that a sleep is never told long after it.
  m_resumed = m_resume.resumed() || m_resumed;
  // Dead connections are closed before the ports are listed: a service may still list a port
  // that is going away (JACK tells of its end before its list changes), so only a list taken
  // after the close says whether the surface is back.
  if (m_connections && (m_resumed || !connections_alive())) {
    close_as_unplugged();
  }
  m_resumed = false;
  const bool found = surface_listed();
  if (m_connections) {
    if (found) {
      m_schedule.pass_done(started);
      return std::nullopt;
    }
    close_as_unplugged();
  }
  if (found) {
    auto opened = open_matching_ports(m_backend, m_source, m_sender);
    if (opened) {
      m_connections = std::move(*opened);
      m_waiting_announced = false;
    } else {
      log_line("! " + opened.error());
    }
  } else if (!m_waiting_announced) {
    log_line("… chờ Loupedeck+ (chưa thấy thiết bị MIDI tên chứa \"" + m_source + "\")");
    m_waiting_announced = true;
  }
  m_schedule.pass_done(started);
  return std::nullopt;
}

void Supervisor::close_as_unplugged() {
  log_line("… Loupedeck+ đã rút ra; chờ cắm lại");
  close_all();
  m_waiting_announced = true;
}

bool Supervisor::surface_listed() {
  if (auto names = list_port_names(m_backend)) {
    return std::ranges::any_of(
        *names, [this](const std::string& name) { return port_matches(name, m_source); });
  }
  return false;
}

bool Supervisor::connections_alive() {
  for (MidiConnection& connection : *m_connections) {
    if (!connection.alive()) {
      return false;
    }
  }
  return true;
}

void Supervisor::wait_for_next_pass() {
  Instant next_check = steady_clock().now() + m_timing.check;
  while (true) {
    const Instant now = steady_clock().now();
    if (m_schedule.due(now)) {
      return;
    }
    Instant until = *m_schedule.next_pass();
    if (m_connections) {
      until = std::min(until, next_check);
    }
    const WakeSignals signals = m_wakeup->wait_until(until);
    const Instant woken = steady_clock().now();
    // The service's word comes ahead of the device list, which is read once it has settled.
    if (signals.any()) {
      m_schedule.device_changed(woken);
    }
    m_resumed = m_resumed || signals.resumed;
    if (m_connections && woken >= next_check) {
      next_check = woken + m_timing.check;
      if (m_resume.resumed()) {
        m_resumed = true;
        m_schedule.device_changed(woken);
      } else if (!connections_alive()) {
        // Dead without a word (a handle that the service no longer serves): its device may well
        // be listed already, so the pass comes at once.
        m_schedule.pass_now(woken);
      }
    }
  }
}

void Supervisor::close_all() {
  if (!m_connections) {
    return;
  }
  for (MidiConnection& connection : *m_connections) {
    close_port(std::move(connection));
  }
  m_connections.reset();
}

int run_driver(std::uint16_t port, std::string_view source, SetEnv set_env) {
  return run_driver(port, source, set_env, DriverParts{});
}

int run_driver(std::uint16_t port, std::string_view source, SetEnv set_env, DriverParts parts) {
  if (!parts.ui_poller) {
    parts.ui_poller = [](std::shared_ptr<Link> link, DriverSender sender) {
      ui_poller(std::move(link), std::move(sender));
    };
  }
  if (!parts.event_loop) {
    parts.event_loop = [](DriverReceiver receiver, std::shared_ptr<Link> link) {
      event_loop(std::move(receiver), std::move(link));
    };
  }
  if (set_env == SetEnv::yes) {
    set_port_env(port);
  }
  std::shared_ptr<Link> link = Link::create(port);
  auto [sender, receiver] = make_channel<DriverMessage>();

  start_detached([poller = std::move(parts.ui_poller), link, poller_sender = sender]() mutable {
    name_this_thread("ui poller");
    poller(std::move(link), std::move(poller_sender));
  });

  // The thread is never joined; this flag is how the supervisor sees that it has ended.
  auto event_loop_finished = std::make_shared<std::atomic<bool>>(false);
  start_detached([loop = std::move(parts.event_loop), link, receiver = std::move(receiver),
                  event_loop_finished]() mutable {
    name_this_thread("event loop");
    run_event_loop(loop, std::move(receiver), std::move(link), *event_loop_finished);
  });

  log_line("Đang chạy (" + std::to_string(binding_table().size()) + " ô ánh xạ, cổng " +
           std::to_string(port) + "). Fn = giữ, Custom Mode = bật/tắt.");

  Supervisor supervisor(std::string(source), std::move(sender),
                        parts.backend != nullptr ? *parts.backend : system_midi_backend(),
                        [event_loop_finished] { return event_loop_finished->load(); });
  while (true) {
    if (const auto code = supervisor.pass()) {
      return *code;
    }
    supervisor.wait_for_next_pass();
  }
}

}  // namespace tavrick

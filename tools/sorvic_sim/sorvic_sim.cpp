#include "sorvic_sim/sorvic_sim.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "app_model.h"
#include "link/socket.h"
#include "link/wire.h"

namespace sorvic_sim {

using tavrick::Json;

namespace {

using namespace std::chrono_literals;

/// How often the accepting and serving threads look whether they are to stop. A thread blocked
/// in a read is not reliably woken by another thread's shutdown under Wine, so they never block
/// longer than this.
constexpr auto k_stop_check = 50ms;

/// Flags shared between the simulator and one client's thread.
struct ClientFlags {
  std::atomic<bool> drop{false};  ///< set by drop_clients(); the thread closes its socket
  std::atomic<bool> done{false};  ///< set by the thread when it ends
};

struct Client {
  std::shared_ptr<ClientFlags> flags;
  std::thread thread;
};

}  // namespace

struct Simulator::State {
  tavrick::Listener listener;
  std::atomic<bool> stopping{false};
  std::thread accept_thread;

  mutable std::mutex lock;
  std::condition_variable arrived;
  std::vector<std::string> requests;                         // guarded by lock
  std::size_t accepted = 0;                                  // guarded by lock
  std::vector<Client> clients;                               // guarded by lock
  AppModel model;                                            // guarded by lock
  std::map<std::string, Responder, std::less<>> responders;  // guarded by lock
  std::function<void(std::string_view line)> observer;       // guarded by lock

  void accept_clients();
  void serve(tavrick::Socket& socket, const ClientFlags& flags);
  void handle_line(tavrick::Socket& socket, std::string_view line);
  std::optional<std::string> answer(const Json& request);
  void join_finished_clients();
};

void Simulator::State::accept_clients() {
  while (!stopping.load()) {
    auto client = listener.accept(k_stop_check);
    if (!client) {
      // A failing listener would fail again at once; wait as for an idle one.
      std::this_thread::sleep_for(k_stop_check);
      continue;
    }
    if (!client->has_value()) {
      continue;
    }
    join_finished_clients();
    (void)(*client)->set_no_delay();
    auto flags = std::make_shared<ClientFlags>();
    std::lock_guard guard(lock);
    ++accepted;
    std::thread thread([this, socket = std::move(**client), flags]() mutable {
      serve(socket, *flags);
      socket.close();
      flags->done.store(true);
    });
    clients.push_back(Client{.flags = std::move(flags), .thread = std::move(thread)});
  }
}

void Simulator::State::join_finished_clients() {
  std::vector<Client> finished;
  {
    std::lock_guard guard(lock);
    const auto split = std::stable_partition(clients.begin(), clients.end(),
                                             [](const Client& c) { return !c.flags->done.load(); });
    std::move(split, clients.end(), std::back_inserter(finished));
    clients.erase(split, clients.end());
  }
  for (Client& client : finished) {
    client.thread.join();
  }
}

void Simulator::State::serve(tavrick::Socket& socket, const ClientFlags& flags) {
  std::array<char, 8192> buffer{};
  tavrick::LineSplitter splitter;
  const auto on_line = [this, &socket](std::string_view line) { handle_line(socket, line); };
  while (!stopping.load() && !flags.drop.load()) {
    const auto ready = socket.wait_readable(k_stop_check);
    if (!ready) {
      return;
    }
    if (!*ready) {
      continue;
    }
    const auto got = socket.read(buffer);
    if (!got) {
      return;
    }
    if (*got == 0) {
      splitter.finish(on_line);
      return;
    }
    splitter.feed(std::string_view(buffer.data(), *got), on_line);
  }
}

void Simulator::State::handle_line(tavrick::Socket& socket, std::string_view line) {
  std::function<void(std::string_view)> observe;
  {
    std::lock_guard guard(lock);
    requests.emplace_back(line);
    observe = observer;
  }
  arrived.notify_all();
  if (observe) {
    observe(line);
  }
  const std::optional<Json> request = tavrick::parse_json(line);
  if (!request) {
    return;
  }
  if (const auto reply = answer(*request)) {
    (void)socket.write_all(*reply + "\n");
  }
}

std::optional<std::string> Simulator::State::answer(const Json& request) {
  const std::string key = request_key(request);
  Responder responder;
  Json result;
  {
    std::lock_guard guard(lock);
    if (const auto custom = responders.find(key); custom != responders.end()) {
      responder = custom->second;
    } else {
      try {
        result = model.apply(request);
      } catch (const Json::exception&) {
        // A state set by a test in an unusual shape: answer as for any other request.
        result = nullptr;
      }
    }
  }
  if (responder) {
    return responder(request);
  }
  if (!request.is_object() || !request.contains("id")) {
    return std::nullopt;
  }
  return tavrick::json_text(Json{{"id", request["id"]}, {"ok", true}, {"result", result}});
}

Simulator::Simulator() : m_state(std::make_unique<State>()) {}

std::expected<std::unique_ptr<Simulator>, std::string> Simulator::start(std::uint16_t port) {
  auto listener = tavrick::Listener::open(port);
  if (!listener) {
    return std::unexpected(listener.error());
  }
  std::unique_ptr<Simulator> simulator(new Simulator());
  State& state = *simulator->m_state;
  state.listener = std::move(*listener);
  state.accept_thread = std::thread([&state] { state.accept_clients(); });
  return simulator;
}

Simulator::~Simulator() {
  State& state = *m_state;
  state.stopping.store(true);
  state.accept_thread.join();
  state.listener.close();
  std::vector<Client> clients;
  {
    std::lock_guard guard(state.lock);
    clients = std::move(state.clients);
  }
  for (Client& client : clients) {
    client.thread.join();
  }
}

std::uint16_t Simulator::port() const { return m_state->listener.port(); }

std::vector<std::string> Simulator::requests() const {
  std::lock_guard guard(m_state->lock);
  return m_state->requests;
}

std::vector<std::string> Simulator::take_requests() {
  std::lock_guard guard(m_state->lock);
  return std::exchange(m_state->requests, {});
}

std::vector<std::string> Simulator::wait_for_requests(std::size_t count,
                                                      std::chrono::milliseconds timeout) {
  std::unique_lock guard(m_state->lock);
  m_state->arrived.wait_for(guard, timeout, [&] { return m_state->requests.size() >= count; });
  return m_state->requests;
}

std::vector<std::string> Simulator::wait_for_matching(std::string_view needle, std::size_t count,
                                                      std::chrono::milliseconds timeout) {
  std::vector<std::string> matching;
  const auto collect = [&] {
    matching.clear();
    for (const std::string& line : m_state->requests) {
      if (line.find(needle) != std::string::npos) {
        matching.push_back(line);
      }
    }
    return matching.size() >= count;
  };
  std::unique_lock guard(m_state->lock);
  m_state->arrived.wait_for(guard, timeout, collect);
  collect();
  return matching;
}

void Simulator::set_ui_result(Json result) {
  std::lock_guard guard(m_state->lock);
  m_state->model.ui = std::move(result);
}

void Simulator::set_page(std::string_view page) {
  std::lock_guard guard(m_state->lock);
  try {
    m_state->model.set_page(page);
  } catch (const Json::exception&) {
    // A ui result set in another shape is left as it is.
  }
}

void Simulator::set_develop_result(Json result) {
  std::lock_guard guard(m_state->lock);
  m_state->model.develop = std::move(result);
}

void Simulator::set_photo_result(Json result) {
  std::lock_guard guard(m_state->lock);
  m_state->model.photo = std::move(result);
}

void Simulator::set_presets_result(Json result) {
  std::lock_guard guard(m_state->lock);
  m_state->model.presets = std::move(result);
}

void Simulator::set_responder(std::string method_or_command, Responder responder) {
  std::lock_guard guard(m_state->lock);
  if (responder) {
    m_state->responders.insert_or_assign(std::move(method_or_command), std::move(responder));
  } else {
    m_state->responders.erase(method_or_command);
  }
}

void Simulator::set_request_observer(std::function<void(std::string_view line)> observer) {
  std::lock_guard guard(m_state->lock);
  m_state->observer = std::move(observer);
}

Json Simulator::ui_result() const {
  std::lock_guard guard(m_state->lock);
  return m_state->model.ui;
}

Json Simulator::develop_result() const {
  std::lock_guard guard(m_state->lock);
  return m_state->model.develop;
}

Json Simulator::photo_result() const {
  std::lock_guard guard(m_state->lock);
  return m_state->model.photo;
}

const std::vector<std::string_view>& Simulator::page_names() { return sorvic_sim::page_names(); }

void Simulator::drop_clients() {
  std::vector<Client> clients;
  {
    std::lock_guard guard(m_state->lock);
    clients = std::move(m_state->clients);
    m_state->clients.clear();
  }
  for (Client& client : clients) {
    client.flags->drop.store(true);
  }
  for (Client& client : clients) {
    client.thread.join();
  }
}

std::size_t Simulator::connections_accepted() const {
  std::lock_guard guard(m_state->lock);
  return m_state->accepted;
}

}  // namespace sorvic_sim

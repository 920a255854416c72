#include "support/engine_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "desktop/log.h"

namespace tavrick::test {

namespace {

constexpr std::string_view k_sync_method = "test.sync";
constexpr std::chrono::seconds k_patience{10};

std::unique_ptr<sorvic_sim::Simulator> start_simulator() {
  auto started = sorvic_sim::Simulator::start();
  if (!started) {
    ADD_FAILURE() << "simulator: " << started.error();
    std::abort();
  }
  return std::move(*started);
}

}  // namespace

EngineTest::EngineTest()
    : sim(start_simulator()), link(Link::create(sim->port())), state(link, clock) {
  // The marker must not draw a reply (an unknown method could be refused and logged).
  sim->set_responder(std::string(k_sync_method), [](const Json&) { return std::nullopt; });
}

std::vector<std::string> EngineTest::sent() {
  const std::uint64_t sync = ++m_syncs;
  EXPECT_TRUE(link->send(k_sync_method, Json{{"sync", sync}}));
  const std::string needle = "\"sync\":" + std::to_string(sync) + "}";
  EXPECT_EQ(sim->wait_for_matching(needle, 1, k_patience).size(), 1U);
  std::vector<std::string> lines = sim->take_requests();
  std::erase_if(lines, [](const std::string& line) {
    return line.find("\"method\":\"test.sync\"") != std::string::npos;
  });
  return lines;
}

std::vector<std::string> EngineTest::commands(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  for (const std::string& line : lines) {
    const Json request = Json::parse(line);
    const std::string method = request.at("method").get<std::string>();
    names.push_back(method == "engine.execute"
                        ? request.at("params").at("command").get<std::string>()
                        : method);
  }
  return names;
}

UiState ui_showing(Page page) {
  UiState ui;
  switch (page) {
    case Page::loupe:
      break;
    case Page::library:
      ui.view = "photoGrid";
      break;
    case Page::wb:
      ui.tool = "wbPicker";
      break;
    case Page::crop:
    case Page::remove:
    case Page::redEye:
    case Page::masking:
      ui.right = std::string(page_name(page));
      break;
  }
  return ui;
}

}  // namespace tavrick::test

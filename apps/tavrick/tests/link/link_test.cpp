#include "link/link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "desktop/clock.h"
#include "desktop/log.h"
#include "desktop/thread_name.h"
#include "link/reply_slot.h"
#include "link/socket.h"
#include "link/wire.h"
#include "sorvic_sim/sorvic_sim.h"
#include "support/background_process.h"
#include "support/log_capture.h"
#include "support/manual_clock.h"
#include "support/thread_names.h"

namespace tavrick {
namespace {

using namespace std::chrono_literals;

/// Generous bound for things that happen at once on a working system; only a fault reaches it.
constexpr auto k_patience = 10s;

using test::Keep;
using test::LogCapture;
using test::ManualClock;

/// A port on which nobody listens (it was free a moment ago).
std::uint16_t refused_port() {
  auto listener = Listener::open(0);
  EXPECT_TRUE(listener.has_value());
  return listener ? listener->port() : std::uint16_t{1};
}

/// A peer driven by hand: accepts the link's connections and writes raw bytes to it.
class RawPeer {
 public:
  RawPeer() {
    auto listener = Listener::open(0);
    EXPECT_TRUE(listener.has_value());
    if (listener) {
      m_listener = std::move(*listener);
    }
  }

  std::uint16_t port() const { return m_listener.port(); }

  /// Accepts the next connection (after the previous one, if any, is closed).
  bool accept() {
    auto client = m_listener.accept(k_patience);
    if (!client || !client->has_value()) {
      return false;
    }
    m_client = std::move(**client);
    m_pending.clear();
    return true;
  }

  /// The next line the link wrote, without its line feed; empty at the end of the stream.
  std::string read_line() {
    for (;;) {
      if (const auto end = m_pending.find('\n'); end != std::string::npos) {
        std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        return line;
      }
      std::array<char, 4096> buffer{};
      const auto got = m_client.read(buffer);
      if (!got || *got == 0) {
        return {};
      }
      m_pending.append(buffer.data(), *got);
    }
  }

  /// The id of the next request line.
  std::uint64_t read_request_id() {
    const auto request = parse_json(read_line());
    EXPECT_TRUE(request.has_value());
    return request ? request->value("id", std::uint64_t{0}) : 0;
  }

  void write(std::string_view bytes) { ASSERT_TRUE(m_client.write_all(bytes).has_value()); }

  bool at_end_of_stream() {
    std::array<char, 64> buffer{};
    const auto got = m_client.read(buffer);
    return !got || *got == 0;
  }

  void close() { m_client.close(); }

 private:
  Listener m_listener;
  Socket m_client;
  std::string m_pending;
};

/// Sends a request that `sim` never answers, once it has arrived; its reply slot.
std::shared_ptr<ReplySlot> sent_unanswered(Link& link, sorvic_sim::Simulator& sim) {
  sim.set_responder("test.unanswered", [](const Json&) { return std::nullopt; });
  auto slot = std::make_shared<ReplySlot>();
  EXPECT_TRUE(link.send("test.unanswered", Json::object(), slot));
  EXPECT_EQ(sim.wait_for_matching("test.unanswered", 1, k_patience).size(), 1u);
  return slot;
}

/// Waits until the reader of the connection that carried the unanswered request behind `slot`
/// has seen the end of the stream: it then forgets that request and lets go of its slot.
bool reader_has_ended(const std::shared_ptr<ReplySlot>& slot) {
  return test::wait_until([&slot] { return slot.use_count() == 1; }, k_patience);
}

std::string reply_text(std::uint64_t id, std::string_view rest) {
  return "{\"id\":" + std::to_string(id) + "," + std::string(rest) + "}\n";
}

struct LinkTest : testing::Test {
  void SetUp() override {
    auto started = sorvic_sim::Simulator::start(0);
    ASSERT_TRUE(started.has_value()) << started.error();
    sim = std::move(*started);
  }

  std::string connected_line(std::uint16_t port) const {
    return "→ đã nối Orvalen Sorvic ở 127.0.0.1:" + std::to_string(port);
  }

  LogCapture log{Keep::all};
  std::unique_ptr<sorvic_sim::Simulator> sim;
};

TEST_F(LinkTest, WritesTheWorkedExampleLinesWithIdsFromTwo) {
  const auto link = Link::create(sim->port());
  EXPECT_EQ(link->port(), sim->port());
  EXPECT_TRUE(link->send("ui.set", Json{{"view", "detail"}, {"right", "edit"}}));
  EXPECT_TRUE(link->notify("develop.endInteraction", Json::object()));
  EXPECT_TRUE(link->call("ui.inspect", Json::object(), k_patience).has_value());
  const std::vector<std::string> expected = {
      R"({"id":2,"method":"ui.set","params":{"right":"edit","view":"detail"}})",
      R"({"id":3,"method":"engine.execute","params":{"command":"develop.endInteraction"}})",
      R"({"id":4,"method":"ui.inspect","params":{}})",
  };
  EXPECT_EQ(sim->wait_for_requests(3, k_patience), expected);
  EXPECT_EQ(log.lines(), std::vector<std::string>{connected_line(sim->port())});
  EXPECT_EQ(sim->connections_accepted(), 1u);
}

TEST_F(LinkTest, CallReturnsTheResultOfTheReply) {
  const auto link = Link::create(sim->port());
  sim->set_presets_result(Json::array({Json{{"id", "a"}}}));
  const auto presets = link->execute("presets.list", Json::object());
  ASSERT_TRUE(presets.has_value());
  EXPECT_EQ(json_text(*presets), R"([{"id":"a"}])");
  sim->set_responder("ui.inspect", [](const Json& request) -> std::optional<std::string> {
    return "{\"id\":" + json_text(request["id"]) + ",\"ok\":false,\"error\":\"busy\"}";
  });
  EXPECT_FALSE(link->call("ui.inspect", Json::object(), k_patience).has_value());
  EXPECT_EQ(log.count_starting_with("✗ Sorvic báo lỗi: \"busy\""), 1u);
}

// The thread that reads the connection's replies carries a name: a refusal it logs shows it.
TEST_F(LinkTest, RepliesAreReadOnAThreadNamedForIt) {
  const auto link = Link::create(sim->port());
  sim->set_responder("ui.inspect", [](const Json& request) -> std::optional<std::string> {
    return "{\"id\":" + json_text(request["id"]) + ",\"ok\":false,\"error\":\"busy\"}";
  });
  std::mutex lock;
  std::vector<std::string> refused_on;  // guarded by lock
  set_log_capture([&](std::string_view line) {
    if (line.starts_with("✗")) {
      std::lock_guard guard(lock);
      refused_on.push_back(this_thread_name());
    }
  });
  // Nobody waits for the reply of a plain send: the reader logs its refusal itself.
  EXPECT_TRUE(link->send("ui.inspect", Json::object()));
  EXPECT_TRUE(test::wait_until(
      [&] {
        std::lock_guard guard(lock);
        return !refused_on.empty();
      },
      k_patience));
  set_log_capture({});
  EXPECT_EQ(refused_on, std::vector<std::string>{test::expected_thread_name("link reader")});
}

TEST_F(LinkTest, IdsAdvanceAlsoWhenNoConnectionCouldBeMade) {
  const std::uint16_t port = refused_port();
  const auto link = Link::create(port);
  EXPECT_FALSE(link->send("ui.inspect", Json::object()));                          // id 2
  EXPECT_FALSE(link->call("ui.inspect", Json::object(), k_patience).has_value());  // id 3
  EXPECT_FALSE(link->execute("develop.get", Json::object()).has_value());          // id 4
  auto late = sorvic_sim::Simulator::start(port);
  ASSERT_TRUE(late.has_value()) << late.error();
  EXPECT_TRUE(link->send("ui.inspect", Json::object()));
  EXPECT_EQ((*late)->wait_for_requests(1, k_patience),
            std::vector<std::string>{R"({"id":5,"method":"ui.inspect","params":{}})"});
}

TEST_F(LinkTest, WarnsAboutAMissingApplicationAtMostOnceInTenSeconds) {
  ManualClock clock;
  const std::uint16_t port = refused_port();
  const auto link = Link::create(port, clock);
  const std::string warning =
      "… chưa nối được Orvalen Sorvic ở cổng " + std::to_string(port) + " (app phải đang mở)";
  struct Step {
    Millis advance;
    std::size_t warnings;  // total after the request
  };
  const Step steps[] = {
      {0ms, 1},     // the first failure warns
      {5000ms, 1},  // 5 s later: quiet
      {5000ms, 1},  // exactly 10 s after the warning: still quiet
      {1ms, 2},     // 10.001 s after it: warns again
      {9999ms, 2},  // the window runs from the last warning
      {2ms, 3},     // 10.001 s after the second warning
  };
  for (const Step& step : steps) {
    clock.advance(step.advance);
    EXPECT_FALSE(link->send("ui.inspect", Json::object()));
    EXPECT_EQ(log.lines().size(), step.warnings);
  }
  EXPECT_EQ(log.lines(), std::vector<std::string>(3, warning));
}

TEST_F(LinkTest, PollingEveryHalfSecondWarnsOnceEveryTwentyOneRequests) {
  ManualClock clock;
  const auto link = Link::create(refused_port(), clock);
  std::vector<int> warned_at;
  for (int request = 0; request < 61; ++request) {
    const std::size_t before = log.lines().size();
    EXPECT_FALSE(link->call("ui.inspect", Json::object(), 2s).has_value());
    if (log.lines().size() > before) {
      warned_at.push_back(request);
    }
    clock.advance(500ms);
  }
  // 0 s, 10.5 s, 21 s: the first request more than ten seconds after the warning before, so
  // one in 21 (at 10.0 s, request 20, the window is not over yet).
  EXPECT_EQ(warned_at, (std::vector<int>{0, 21, 42}));
}

TEST_F(LinkTest, TheNextRequestAfterThePeerClosedReconnectsAndKeepsNumbering) {
  const auto link = Link::create(sim->port());
  ASSERT_TRUE(link->call("ui.inspect", Json::object(), k_patience).has_value());  // id 2
  const auto unanswered = sent_unanswered(*link, *sim);                           // id 3
  sim->drop_clients();
  ASSERT_TRUE(reader_has_ended(unanswered));
  // The very next request is written on a new connection and answered; nothing is lost.
  ASSERT_TRUE(link->call("ui.inspect", Json::object(), k_patience).has_value());  // id 4
  EXPECT_EQ(sim->connections_accepted(), 2u);
  EXPECT_EQ(log.count_starting_with(connected_line(sim->port())), 2u);
  std::vector<std::uint64_t> ids;
  for (const std::string& line : sim->requests()) {
    ids.push_back(reply_id(*parse_json(line)).value_or(0));
  }
  EXPECT_EQ(ids, (std::vector<std::uint64_t>{2, 3, 4}));
}

TEST_F(LinkTest, DropsALateReplyWithoutJudgingIt) {
  const auto link = Link::create(sim->port());
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  sim->set_responder(
      "photo.inspect", [released](const Json& request) -> std::optional<std::string> {
        released.wait();
        return "{\"id\":" + json_text(request["id"]) + ",\"ok\":false,\"error\":\"late\"}";
      });
  EXPECT_FALSE(link->call("engine.execute", command_params("photo.inspect", Json::object()), 50ms)
                   .has_value());
  release.set_value();
  // Replies come in order on one connection: once this one is in, the late one was read.
  EXPECT_TRUE(link->call("ui.inspect", Json::object(), k_patience).has_value());
  EXPECT_EQ(log.count_starting_with("✗"), 0u);
}

TEST_F(LinkTest, ACallerThatNeverGetsAnAnswerReturnsAfterItsTimeout) {
  const auto link = Link::create(sim->port());
  sim->set_responder("develop.get", [](const Json&) { return std::nullopt; });
  // Only lower bounds: each caller must have waited its whole time-out for the reply.
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link->execute("develop.get", Json::object()).has_value());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link->call("engine.execute", command_params("develop.get", {}), 200ms).has_value());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  // The connection is still in use.
  EXPECT_TRUE(link->call("ui.inspect", Json::object(), k_patience).has_value());
  EXPECT_EQ(sim->connections_accepted(), 1u);
}

TEST_F(LinkTest, TwoThreadsSendingAtOnceWriteWholeLines) {
  const auto link = Link::create(sim->port());
  constexpr int k_each = 100;
  // Large enough that one line needs several writes and reads.
  const std::string filler(20000, 'x');
  const auto sender = [&](const std::string& name) {
    for (int i = 0; i < k_each; ++i) {
      EXPECT_TRUE(link->notify("test.send", Json{{"who", name}, {"n", i}, {"filler", filler}}));
    }
  };
  std::thread first(sender, "a");
  std::thread second(sender, "b");
  first.join();
  second.join();
  const auto lines = sim->wait_for_requests(2 * k_each, k_patience);
  ASSERT_EQ(lines.size(), 2u * k_each);
  // Each line whole and in its thread's order; ids are taken before the connection lock, so
  // the two threads' ids interleave in any way but are never shared.
  std::array<int, 2> next{0, 0};
  std::array<std::uint64_t, 2> last_id{0, 0};
  std::vector<std::uint64_t> ids;
  for (const std::string& line : lines) {
    const auto request = parse_json(line);
    ASSERT_TRUE(request.has_value()) << line.substr(0, 80);
    const Json& params = (*request)["params"]["params"];
    const std::size_t who = params["who"] == "a" ? 0 : 1;
    EXPECT_EQ(params["n"], next[who]++);
    EXPECT_EQ(params["filler"], filler);
    const auto id = (*request)["id"].get<std::uint64_t>();
    EXPECT_GT(id, last_id[who]);
    last_id[who] = id;
    ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(ids[i], i + 2);
  }
}

TEST_F(LinkTest, AHungConnectionIsReplacedAfterManyUnansweredCalls) {
  const auto link = Link::create(sim->port());
  sim->set_responder("ui.inspect", [](const Json&) { return std::nullopt; });
  for (int i = 0; i < 4096; ++i) {
    ASSERT_FALSE(link->call("ui.inspect", Json::object(), 0ms).has_value());
  }
  EXPECT_EQ(sim->connections_accepted(), 1u);
  sim->set_responder("ui.inspect", {});
  EXPECT_TRUE(link->call("ui.inspect", Json::object(), k_patience).has_value());
  EXPECT_EQ(sim->connections_accepted(), 2u);
}

struct LinkRawTest : testing::Test {
  LogCapture log{Keep::all};
  RawPeer peer;
  std::shared_ptr<Link> link = Link::create(peer.port());

  enum class Accept { first, no };

  /// Starts a call on another thread and returns it with the id the peer read; `accept` first
  /// when the call makes the connection.
  std::pair<std::future<std::optional<Json>>, std::uint64_t> start_call(Accept accept) {
    auto call = std::async(std::launch::async,
                           [this] { return link->call("ui.inspect", Json::object(), k_patience); });
    if (accept == Accept::first) {
      EXPECT_TRUE(peer.accept());
    }
    return {std::move(call), peer.read_request_id()};
  }
};

TEST_F(LinkRawTest, LogsARefusalThatNobodyWaitsForOnce) {
  ASSERT_TRUE(link->notify("develop.adjust", Json{{"delta", 1}}));
  ASSERT_TRUE(peer.accept());
  const std::uint64_t notified = peer.read_request_id();
  EXPECT_EQ(notified, 2u);
  peer.write(reply_text(notified, R"("ok":false,"error":"no photo")"));  // nobody waits
  peer.write(R"({"id":999,"ok":false,"error":{"code":3}})"
             "\n");  // unknown id
  peer.write(R"({"id":3.0,"ok":false})"
             "\n");  // not an id
  peer.write(R"({"id":998,"ok":true,"result":1})"
             "\n");  // fine: no message
  peer.write(R"({"ok":true})"
             "\n");  // no id: no message
  auto [call, id] = start_call(Accept::no);
  peer.write(reply_text(id, R"("ok":true,"result":{"ui":{}})"));
  const auto result = call.get();
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(json_text(*result), R"({"ui":{}})");
  EXPECT_EQ(log.lines(), (std::vector<std::string>{
                             "→ đã nối Orvalen Sorvic ở 127.0.0.1:" + std::to_string(peer.port()),
                             R"(✗ Sorvic báo lỗi: "no photo")",
                             R"(✗ Sorvic báo lỗi: {"code":3})",
                             "✗ Sorvic báo lỗi: null",
                         }));
}

TEST_F(LinkRawTest, SurvivesGarbageAndStillDeliversTheReply) {
  auto [call, id] = start_call(Accept::first);
  const std::string garbage[] = {
      std::string("\x00\x01\x02\xff\xfe\x80\n", 7),           // binary bytes
      "\n",                                                   // empty line
      "\r\n",                                                 // white space only
      "not json at all\n",                                    // text
      std::string(200, '[') + std::string(200, ']') + "\n",   // too deep
      std::string(5 << 20, '{') + "\n",                       // far over the line limit
      "{\"id\":" + std::to_string(id) + ",\"ok\":true}{}\n",  // two values on one line
      "{\"id\":" + std::to_string(id) + ",\"ok\":true,\"result\":\"\xff\"}\n",  // bad UTF-8
      "[\"" + std::string(6 << 20, 'a') + "\"]\n",         // a long line of valid JSON
      "{\"id\":" + std::to_string(id) + ",\"ok\":false,",  // the start of a line ...
  };
  for (const std::string& bytes : garbage) {
    peer.write(bytes);
  }
  // ... which this completes: the reply carries the id only once the line is whole.
  peer.write("\"error\":1}\n");
  EXPECT_FALSE(call.get().has_value());
  EXPECT_EQ(log.count_starting_with("✗ Sorvic báo lỗi: 1"), 1u);
  auto [second, second_id] = start_call(Accept::no);
  peer.write(reply_text(second_id, R"("ok":true,"result":[1])") + "\r\n");
  const auto result = second.get();
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, Json::array({1}));
  EXPECT_EQ(log.count_starting_with("✗"), 1u);
}

TEST_F(LinkRawTest, AWaitingCallerDoesNotBlockAnotherThreadsSend) {
  auto [call, id] = start_call(Accept::first);
  // The caller now waits for its reply; this send must not wait behind it.
  EXPECT_TRUE(link->notify("develop.adjust", Json{{"delta", 1}}));
  EXPECT_NE(peer.read_line().find("develop.adjust"), std::string::npos);
  peer.write(reply_text(id, R"("ok":true,"result":7)"));
  const auto result = call.get();
  ASSERT_TRUE(result.has_value());  // a blocked send would have let the call time out first
  EXPECT_EQ(*result, Json(7));
}

TEST_F(LinkRawTest, ReadsTheBytesAfterTheLastLineFeedWhenTheStreamEnds) {
  auto [call, id] = start_call(Accept::first);
  const std::string reply = reply_text(id, R"("ok":true,"result":"last")");
  peer.write(std::string_view(reply).substr(0, 20));
  peer.write(std::string_view(reply).substr(20, reply.size() - 21));  // without its line feed
  peer.close();
  const auto result = call.get();
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, Json("last"));
}

TEST_F(LinkRawTest, TheNextRequestAfterAConnectionCutInTheMiddleOfALineReconnects) {
  ASSERT_TRUE(link->notify("develop.adjust", Json{{"delta", 1}}));
  ASSERT_TRUE(peer.accept());
  EXPECT_EQ(peer.read_request_id(), 2u);
  auto unanswered = std::make_shared<ReplySlot>();
  ASSERT_TRUE(link->send("test.unanswered", Json::object(), unanswered));
  EXPECT_EQ(peer.read_request_id(), 3u);
  peer.write("{\"id\":2,\"ok\":fal");
  peer.close();
  ASSERT_TRUE(reader_has_ended(unanswered));
  // The very next request makes a new connection and arrives on it.
  auto [call, id] = start_call(Accept::first);
  EXPECT_EQ(id, 4u);
  peer.write(reply_text(id, R"("ok":true,"result":1)"));
  EXPECT_EQ(call.get(), Json(1));
  EXPECT_EQ(log.count_starting_with("→ đã nối"), 2u);
  EXPECT_EQ(log.count_starting_with("✗"), 0u);  // the cut line was not a refusal
}

TEST_F(LinkRawTest, DestroyingTheLinkEndsItsConnection) {
  ASSERT_TRUE(link->notify("develop.adjust", Json{{"delta", 1}}));
  ASSERT_TRUE(peer.accept());
  EXPECT_FALSE(peer.read_line().empty());
  link.reset();
  EXPECT_TRUE(peer.at_end_of_stream());
}

}  // namespace
}  // namespace tavrick

// The link against an application that accepts requests and never answers them.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "desktop/log.h"
#include "link/link.h"
#include "link/reply_slot.h"
#include "link/socket.h"
#include "support/background_process.h"
#include "support/log_capture.h"
#include "support/process_io.h"

namespace tavrick {
namespace {

using namespace std::chrono_literals;

/// An application that accepts every connection and reads what it is sent, but never answers and
/// never closes a connection.
class HungPeer {
 public:
  HungPeer() {
    auto listener = Listener::open(0);
    EXPECT_TRUE(listener.has_value());
    if (listener) {
      m_listener = std::move(*listener);
    }
    m_thread = std::thread([this] { serve(); });
  }
  HungPeer(const HungPeer&) = delete;
  HungPeer& operator=(const HungPeer&) = delete;
  ~HungPeer() {
    m_stop = true;
    m_thread.join();
  }

  std::uint16_t port() const { return m_listener.port(); }
  std::size_t connections() const { return m_accepted.load(); }

 private:
  void serve() {
    std::vector<Socket> clients;  // kept open, also after the link has ended its side
    std::vector<bool> ended;
    std::array<char, 65536> buffer{};
    while (!m_stop) {
      if (auto client = m_listener.accept(1ms); client && client->has_value()) {
        clients.push_back(std::move(**client));
        ended.push_back(false);
        ++m_accepted;
      }
      for (std::size_t i = 0; i < clients.size(); ++i) {
        while (!ended[i] && clients[i].wait_readable(0ms).value_or(false)) {
          const auto got = clients[i].read(buffer);
          ended[i] = !got || *got == 0;
        }
      }
    }
  }

  Listener m_listener;
  std::atomic<bool> m_stop{false};
  std::atomic<std::size_t> m_accepted{0};
  std::thread m_thread;
};

// Requests that stay unanswered replace the connection once per 4,096, not once per request:
// 10,000 of them make three connections, and the readers of the replaced ones do not pile up.
TEST(LinkHungPeerTest, AnApplicationThatNeverAnswersCostsOneConnectionPer4096Requests) {
  HungPeer peer;
  const test::LogCapture log(test::Keep::all);
  const std::string connected =
      "→ đã nối Orvalen Sorvic ở 127.0.0.1:" + std::to_string(peer.port());
  const std::size_t threads_before = test::thread_count();
  const auto link = Link::create(peer.port());
  for (int i = 0; i < 10'000; ++i) {
    ASSERT_TRUE(link->send("ui.inspect", Json::object(), std::make_shared<ReplySlot>())) << i;
  }
  EXPECT_EQ(log.count_of(connected), 3u);
  EXPECT_TRUE(test::wait_until([&] { return peer.connections() >= 3; }));
  EXPECT_EQ(peer.connections(), 3u);
  // One reader thread per connection at most, however the replaced ones end.
  EXPECT_LE(test::thread_count(), threads_before + 3);
}

}  // namespace
}  // namespace tavrick

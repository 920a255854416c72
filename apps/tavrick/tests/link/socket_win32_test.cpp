#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "desktop/os_error.h"
#include "link/socket.h"

namespace tavrick {
namespace {

// Refused, not timed out: Windows reports a refused loopback connection within the limit only
// when it does not retransmit the SYN first (that takes about two seconds). e2e/connect_wine_test
// runs this test to see that the request for no retransmission is made; Wine refuses at once
// either way.
TEST(SocketWin32Test, ConnectionToAClosedPortIsRefusedWithinTheLimit) {
  std::uint16_t port = 0;
  {
    const auto listener = Listener::open(0);
    ASSERT_TRUE(listener.has_value()) << listener.error();
    port = listener->port();
  }
  const auto socket = Socket::connect_loopback(port, std::chrono::milliseconds(500));
  ASSERT_FALSE(socket.has_value());
  EXPECT_EQ(socket.error(), os_error_text(WSAECONNREFUSED));
}

}  // namespace
}  // namespace tavrick

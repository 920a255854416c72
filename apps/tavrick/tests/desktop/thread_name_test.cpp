#include "desktop/thread_name.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/thread_names.h"

namespace tavrick {
namespace {

/// The name a fresh thread reads back after naming itself `name`.
std::string named_on_a_new_thread(std::string_view name) {
  std::string read_back = "(not run)";
  std::thread([&] {
    name_this_thread(name);
    read_back = this_thread_name();
  }).join();
  return read_back;
}

TEST(ThreadNameTest, AThreadReadsBackTheNameItGaveItselfCutToTheLimit) {
  struct Case {
    std::string_view given;
    std::string_view kept;
  };
  const Case cases[] = {
      {"event loop", "event loop"},             // the usual short name
      {"fifteen bytes!!", "fifteen bytes!!"},   // exactly at the limit: kept whole
      {"sixteen bytes!!!", "sixteen bytes!!"},  // one over: cut, not refused
      {"a name far over the limit", "a name far over"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(named_on_a_new_thread(c.given), test::expected_thread_name(c.kept)) << c.given;
  }
}

TEST(ThreadNameTest, NamingOneThreadLeavesTheOthersAsTheyWere) {
  const std::string before = this_thread_name();
  (void)named_on_a_new_thread("other thread");
  EXPECT_EQ(this_thread_name(), before);
}

}  // namespace
}  // namespace tavrick

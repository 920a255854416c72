#include "midi/service_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "desktop/thread_name.h"
#include "support/thread_names.h"

namespace tavrick {
namespace {

using namespace std::chrono_literals;

/// Generous bound for things that happen at once on a working system; only a fault reaches it.
constexpr auto k_patience = std::chrono::milliseconds(10s);
/// How long a caller waits for a job that is held up on purpose.
constexpr auto k_short = std::chrono::milliseconds(50ms);

/// A job that blocks until the test opens the gate, as a call into a service that does not
/// answer.
struct Gate {
  std::promise<void> opened;
  std::shared_future<void> wait = opened.get_future().share();
  void open() { opened.set_value(); }
};

/// Counts how many objects of its kind live, and on which thread the last one died.
struct Tracked {
  static inline std::atomic<int> alive{0};
  static inline std::atomic<std::thread::id> last_died_on{};
  Tracked() { ++alive; }
  Tracked(Tracked&&) noexcept { ++alive; }
  Tracked(const Tracked&) = delete;
  ~Tracked() {
    last_died_on.store(std::this_thread::get_id());
    --alive;
  }
};

struct ServiceThreadTest : testing::Test {
  ServiceThread service;

  /// The id of the service thread, as a job sees it.
  std::thread::id service_id() {
    const auto id = service.call<std::thread::id>([] { return std::this_thread::get_id(); },
                                                  Start::in_turn, k_patience);
    EXPECT_TRUE(id.has_value());
    return id.value_or(std::thread::id{});
  }
};

TEST_F(ServiceThreadTest, ReturnsTheValueOfAJobThatAnswersInTime) {
  EXPECT_EQ(service.call<int>([] { return 7; }, Start::when_idle, k_patience), 7);
  EXPECT_EQ(service.call<int>([] { return 8; }, Start::in_turn, k_patience), 8);
  EXPECT_NE(service_id(), std::this_thread::get_id());
}

TEST_F(ServiceThreadTest, JobsRunOnAThreadNamedForTheService) {
  EXPECT_EQ(
      service.call<std::string>([] { return this_thread_name(); }, Start::in_turn, k_patience),
      test::expected_thread_name("midi service"));
}

TEST_F(ServiceThreadTest, ACallerStopsWaitingAfterItsBoundAndNoNewJobStartsMeanwhile) {
  Gate gate;
  std::atomic<int> runs{0};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(service.call<int>(
                [&] {
                  ++runs;
                  gate.wait.wait();
                  return 1;
                },
                Start::when_idle, k_short),
            std::nullopt);
  EXPECT_GE(std::chrono::steady_clock::now() - start, k_short);

  // While the first job hangs, a job that may only start on an idle thread is dropped unrun,
  // without waiting.
  EXPECT_EQ(service.call<int>(
                [&] {
                  ++runs;
                  return 2;
                },
                Start::when_idle, k_patience),
            std::nullopt);
  EXPECT_EQ(runs.load(), 1);

  // Once the service answers again, so does the thread.
  gate.open();
  EXPECT_EQ(service.call<int>([] { return 3; }, Start::in_turn, k_patience), 3);
  EXPECT_EQ(service.call<int>([] { return 4; }, Start::when_idle, k_patience), 4);
  EXPECT_EQ(runs.load(), 1);
}

TEST_F(ServiceThreadTest, AJobInTurnRunsAfterAHungOneAndItsValueDiesOnTheServiceThread) {
  const std::thread::id service_thread = service_id();
  Gate gate;
  EXPECT_EQ(service.call<int>(
                [&] {
                  gate.wait.wait();
                  return 1;
                },
                Start::when_idle, k_short),
            std::nullopt);
  std::atomic<bool> ran{false};
  EXPECT_FALSE(service
                   .call<Tracked>(
                       [&] {
                         ran = true;
                         return Tracked{};
                       },
                       Start::in_turn, k_short)
                   .has_value());
  EXPECT_FALSE(ran.load());

  gate.open();
  // The queued job runs after the hung one; nobody takes its value, which dies where it was made.
  EXPECT_TRUE(service.call<bool>([] { return true; }, Start::in_turn, k_patience).value_or(false));
  EXPECT_TRUE(ran.load());
  EXPECT_EQ(Tracked::alive.load(), 0);
  EXPECT_EQ(Tracked::last_died_on.load(), service_thread);
}

TEST_F(ServiceThreadTest, WhatAJobHoldsIsReleasedOnTheServiceThread) {
  const std::thread::id service_thread = service_id();
  auto held = std::make_unique<Tracked>();
  EXPECT_TRUE(service
                  .call<bool>([held = std::move(held)]() mutable { return held != nullptr; },
                              Start::in_turn, k_patience)
                  .value_or(false));
  EXPECT_EQ(Tracked::alive.load(), 0);
  EXPECT_EQ(Tracked::last_died_on.load(), service_thread);
}

}  // namespace
}  // namespace tavrick

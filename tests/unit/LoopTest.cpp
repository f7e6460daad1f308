// The thread's message loop: posted tasks run later, in order, also when posted
// from another thread; nested loops inside a handler keep dispatching; Run ends
// on Terminate, also when a nested loop saw it first.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Loop.h"
#include "platform/Timer.h"
#include "support/LoopbackServer.h"

namespace ravo {
namespace {

using test::PumpUntil;

class LoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Loop::ProcessMessages();  // nothing left over from an earlier test
    Loop::ResetTerminating();
  }
  void TearDown() override { Loop::ResetTerminating(); }

  // Run() with a guard, so that a loop that fails to end fails the test instead
  // of hanging it.
  void RunGuarded() {
    Timer guard(5000, true);
    bool expired = false;
    guard.OnTimer = [&] {
      expired = true;
      Loop::Terminate();
    };
    Loop::Run();
    EXPECT_FALSE(expired) << "Run() did not end on Terminate";
  }
};

TEST_F(LoopTest, PostedTasksRunLaterInOrder) {
  std::vector<int> ran;
  for (int i = 1; i <= 3; ++i) Loop::Post([&ran, i] { ran.push_back(i); });
  EXPECT_TRUE(ran.empty()) << "Post ran a task at once";
  Loop::ProcessMessages();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(LoopTest, PostFromOtherThreadsKeepsEachThreadsOrder) {
  constexpr int kPerThread = 200;
  std::vector<int> ran;
  std::thread a([&] {
    for (int i = 0; i < kPerThread; ++i) Loop::Post([&ran, i] { ran.push_back(i); });
  });
  std::thread b([&] {
    for (int i = 0; i < kPerThread; ++i) Loop::Post([&ran, i] { ran.push_back(1000 + i); });
  });
  a.join();
  b.join();
  ASSERT_TRUE(PumpUntil([&] { return ran.size() == 2 * kPerThread; }));
  int nextA = 0, nextB = 1000;
  for (int value : ran) {
    if (value < 1000) {
      EXPECT_EQ(value, nextA++);
    } else {
      EXPECT_EQ(value, nextB++);
    }
  }
}

TEST_F(LoopTest, PumpOneHandlesAtMostOneTask) {
  int ran = 0;
  Loop::Post([&] { ++ran; });
  Loop::Post([&] { ++ran; });
  while (ran == 0 && Loop::PumpOne()) {
  }
  EXPECT_EQ(ran, 1);
  Loop::ProcessMessages();
  EXPECT_EQ(ran, 2);
}

TEST_F(LoopTest, NestedProcessMessagesRunsTasksPostedBeforeAndInside) {
  std::vector<std::string> ran;
  Loop::Post([&] {
    ran.push_back("outer begins");
    Loop::Post([&] {
      ran.push_back("posted inside");
      Loop::ProcessMessages();  // a second level of nesting
    });
    Loop::ProcessMessages();
    ran.push_back("outer ends");
  });
  Loop::Post([&] { ran.push_back("posted before"); });
  Loop::ProcessMessages();
  EXPECT_EQ(ran, (std::vector<std::string>{"outer begins", "posted before", "posted inside", "outer ends"}));
}

TEST_F(LoopTest, RunEndsOnTerminateAlsoSeenByANestedLoop) {
  Loop::Post([] { Loop::Terminate(); });
  RunGuarded();
  EXPECT_TRUE(Loop::Terminating());

  // A handler waits in a nested loop in which the application ends: the outer
  // Run must end too once the handler returns.
  Loop::ResetTerminating();
  EXPECT_FALSE(Loop::Terminating());
  bool handlerReturned = false;
  Loop::Post([&] {
    Loop::Post([] { Loop::Terminate(); });
    while (!Loop::Terminating()) {
      Loop::Sleep(1);
      Loop::ProcessMessages();
    }
    handlerReturned = true;
  });
  RunGuarded();
  EXPECT_TRUE(handlerReturned);
  EXPECT_TRUE(Loop::Terminating());

  // After a reset the loop runs again normally.
  Loop::ResetTerminating();
  int ran = 0;
  Loop::Post([&] { ++ran; });
  Loop::ProcessMessages();
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(Loop::Terminating());
}

}  // namespace
}  // namespace ravo

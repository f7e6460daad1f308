// The loop's timer with the semantics of the form library's timer, on the real
// loop of each build.  Intervals are tens of milliseconds and the checks leave
// room for a busy machine.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/Loop.h"
#include "platform/Timer.h"
#include "support/LoopbackServer.h"

namespace ravo {
namespace {

using namespace std::chrono_literals;
using test::PumpFor;
using test::PumpUntil;
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(TimerTest, FiresRepeatedlyWhileEnabledAndNotAfterStop) {
  Timer timer(20);
  int fired = 0;
  timer.OnTimer = [&] { ++fired; };
  PumpFor(60ms);
  EXPECT_EQ(fired, 0) << "a timer made disabled fired";
  timer.Start();
  EXPECT_TRUE(PumpUntil([&] { return fired >= 3; }, 3s));
  timer.Stop();
  const int stoppedAt = fired;
  PumpFor(80ms);
  EXPECT_EQ(fired, stoppedAt);
}

TEST(TimerTest, IntervalZeroNeverFires) {
  Timer timer(0, true);
  int fired = 0;
  timer.OnTimer = [&] { ++fired; };
  PumpFor(80ms);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(fired, 0);
  timer.SetInterval(20);  // a real interval starts it
  EXPECT_TRUE(PumpUntil([&] { return fired >= 1; }, 3s));
}

// What happens to a running 300 ms countdown when, 100 ms into it, the timer is
// enabled again or given an interval.
TEST(TimerTest, ChangesToARunningTimerKeepOrRestartTheCountdown) {
  struct Case {
    const char* name;
    std::function<void(Timer&)> change;
    bool restarts;
  };
  const Case cases[] = {
      {"enabled again", [](Timer& t) { t.SetEnabled(true); }, false},
      {"same interval", [](Timer& t) { t.SetInterval(300); }, false},
      {"new interval", [](Timer& t) { t.SetInterval(310); }, true},
      {"stopped and started", [](Timer& t) { t.Stop(); t.Start(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Timer timer(300);
    long long firedAt = -1;
    const auto start = Clock::now();
    timer.OnTimer = [&] {
      if (firedAt < 0) firedAt = MillisecondsSince(start);
    };
    timer.Start();
    PumpFor(100ms);
    const long long changedAt = MillisecondsSince(start);
    c.change(timer);
    ASSERT_TRUE(PumpUntil([&] { return firedAt >= 0; }, 3s));
    if (c.restarts) {
      EXPECT_GE(firedAt, changedAt + 300 - 25) << "the countdown was not restarted";
    } else {
      EXPECT_LT(firedAt, changedAt + 290) << "the countdown was restarted";
    }
  }
}

TEST(TimerTest, DestroyedInsideItsOwnHandler) {
  auto timer = std::make_unique<Timer>(10, true);
  int fired = 0;
  timer->OnTimer = [&] {
    ++fired;
    timer.reset();
  };
  EXPECT_TRUE(PumpUntil([&] { return timer == nullptr; }, 3s));
  PumpFor(50ms);
  EXPECT_EQ(fired, 1);
}

// A handler waits in a nested loop (as the program's waits for a busy client
// do); meanwhile its own timer is destroyed and another one stops itself.
TEST(TimerTest, DestroyedInsideANestedLoopOfItsHandler) {
  auto waiting = std::make_unique<Timer>(10, true);
  Timer other(5, true);
  int waitingFired = 0, otherFired = 0;
  other.OnTimer = [&] {
    ++otherFired;
    other.Stop();
  };
  waiting->OnTimer = [&] {
    ++waitingFired;
    Loop::Post([&] { waiting.reset(); });
    PumpFor(40ms);  // the handler of the destroyed timer is still running here
  };
  EXPECT_TRUE(PumpUntil([&] { return waiting == nullptr; }, 3s));
  PumpFor(40ms);
  EXPECT_EQ(waitingFired, 1);
  EXPECT_EQ(otherFired, 1);
}

TEST(TimerTest, DestructionCancels) {
  int fired = 0;
  {
    Timer timer(10, true);
    timer.OnTimer = [&] { ++fired; };
  }
  PumpFor(60ms);
  EXPECT_EQ(fired, 0);
}

}  // namespace
}  // namespace ravo

// The Linux timer: one one-shot entry of the loop's timer heap at a time; each
// expiry schedules the next one before the handler runs, so the handler may
// stop, restart or destroy its own timer.
#include "platform/Timer.h"

#include <utility>

#include "platform/posix/PollLoop.h"

namespace ravo {

struct Timer::Native {
  pollloop::EntryId entry = 0;
};

Timer::Timer() : native_(std::make_unique<Native>()) {}

Timer::Timer(unsigned interval, bool enabled) : interval_(interval), native_(std::make_unique<Native>()) {
  SetEnabled(enabled);
}

Timer::~Timer() { Cancel(); }

void Timer::Restart() {
  Cancel();
  if (interval_ == 0) return;  // enabled, but never fires
  native_->entry = pollloop::AddTimer(pollloop::Clock::now() + std::chrono::milliseconds(interval_), [this] {
    native_->entry = 0;
    Restart();
    // A copy: the handler may replace OnTimer or destroy this timer.
    auto handler = OnTimer;
    if (handler) handler();
  });
}

void Timer::Cancel() {
  if (native_->entry != 0) pollloop::RemoveTimer(native_->entry);
  native_->entry = 0;
}

}  // namespace ravo

// The Win32 timer: SetTimer on the loop window.  Every countdown gets a fresh
// id, so a WM_TIMER still queued from before a restart, a stop or the timer's
// destruction finds no entry and is dropped.
#include "platform/Timer.h"

#include "platform/win32/LoopWindow.h"

namespace ravo {

struct Timer::Native {
  UINT_PTR id = 0;
};

Timer::Timer() : native_(std::make_unique<Native>()) {}

Timer::Timer(unsigned interval, bool enabled) : interval_(interval), native_(std::make_unique<Native>()) {
  SetEnabled(enabled);
}

Timer::~Timer() { Cancel(); }

void Timer::Restart() {
  Cancel();
  if (interval_ == 0) return;  // enabled, but never fires
  win32::LoopWindow& window = win32::LoopWindow::Get();
  const UINT_PTR id = window.AddTimer([this] {
    // A copy: the handler may replace OnTimer or destroy this timer.
    auto handler = OnTimer;
    if (handler) handler();
  });
  if (SetTimer(window.Handle(), id, interval_, nullptr) == 0) {
    window.RemoveTimer(id);
    return;
  }
  native_->id = id;
}

void Timer::Cancel() {
  if (native_->id == 0) return;
  win32::LoopWindow& window = win32::LoopWindow::Get();
  KillTimer(window.Handle(), native_->id);
  window.RemoveTimer(native_->id);
  native_->id = 0;
}

}  // namespace ravo

// The timer's rules, the same on both platforms; the countdown itself
// (Restart, Cancel) is the platform's.
#include "platform/Timer.h"

namespace ravo {

void Timer::SetInterval(unsigned milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  if (enabled_) Restart();
}

// Enabling a running timer leaves its countdown alone.
void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_) {
    Restart();
  } else {
    Cancel();
  }
}

}  // namespace ravo

// A timer of the message loop with the semantics of the form library's timer:
// enabling a running timer keeps its countdown; a new interval restarts a
// running timer; an interval of 0 never fires.
#pragma once

#include <functional>
#include <memory>

namespace ravo {

class Timer {
 public:
  Timer();
  explicit Timer(unsigned interval, bool enabled = false);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  void Start() { SetEnabled(true); }
  void Stop() { SetEnabled(false); }

  // A small flag of the owner's, as the component's tag.
  int Tag = 0;
  // Called from the loop at every expiry while enabled.
  std::function<void()> OnTimer;

  struct Native;  // platform state

 private:
  void Restart();
  void Cancel();

  unsigned interval_ = 1000;
  bool enabled_ = false;
  std::unique_ptr<Native> native_;
};

}  // namespace ravo

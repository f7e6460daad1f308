// The thread's message loop.  On Win32 it is the real message queue, so timers,
// socket events, window messages from other processes and user input all pass
// through it; on Linux it is a poll() loop with a timer heap and a task queue.
// All of it belongs to the one thread that runs the program.
#pragma once

#include <functional>

namespace ravo {

class Loop {
 public:
  // Dispatches messages until Terminate().
  static void Run();
  // Handles everything that is pending now, then returns.
  static void ProcessMessages();
  // Handles at most one pending message; true when one was handled.
  static bool PumpOne();
  // Asks Run() to return and makes Terminating() true (the application is ending).
  static void Terminate();
  static bool Terminating();
  // Clears the terminating state (tests run many "applications" in one process).
  static void ResetTerminating();
  // Runs the task later on the loop's thread, from the loop.  Safe to call from
  // any thread.
  static void Post(std::function<void()> task);
  // Blocks the thread for the given milliseconds without handling messages.
  static void Sleep(unsigned milliseconds);
};

}  // namespace ravo

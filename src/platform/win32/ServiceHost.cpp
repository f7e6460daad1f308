#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Loop.h"
#include "platform/ServiceHost.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

// Every wait between threads ends after this long: below the control
// manager's own 30 s limit for a control handler, so nothing hangs for ever.
constexpr std::chrono::milliseconds kHandOverTimeout{20000};
constexpr DWORD kWaitHint = 30000;

// What the three threads share: the main thread (the module and its loop),
// the dispatcher's thread (the control handler) and the service's thread
// (ServiceMain).  The flags are guarded by `mutex`; the reported status by
// `reportMutex` alone, so that a thread reporting to the control manager never
// holds up a handler that only wants to see a flag (order: mutex, then
// reportMutex).  The module is only ever touched on the main thread.
struct ServiceRun : std::enable_shared_from_this<ServiceRun> {
  ServiceRun(const std::string& serviceName, ServiceModule& serviceModule)
      : name(Cp950ToWide(serviceName)), module(serviceModule) {}

  std::wstring name;
  ServiceModule& module;

  std::mutex mutex;
  std::condition_variable changed;
  enum class Phase { Connecting, Failed, Running } phase = Phase::Connecting;
  bool dispatcherEnded = false;
  bool started = false;  // create and start have run
  bool stopRequested = false;
  bool stopDone = false;  // the module's stop handler has run
  bool ended = false;     // RunService is past its loop: handlers are off limits
  // Main thread only.
  bool created = false;
  bool destroyed = false;

  std::mutex reportMutex;
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
  SERVICE_STATUS status{};

  // Reports a state, when the current one is `from` (0: any), unless the
  // stopped state has been reported already: that one is the last word.
  void Report(DWORD state, DWORD accepted = 0, DWORD from = 0) {
    std::lock_guard lock(reportMutex);
    if (!statusHandle || status.dwCurrentState == SERVICE_STOPPED) return;
    if (from != 0 && status.dwCurrentState != from) return;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = accepted;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = pending ? kWaitHint : 0;
    SetServiceStatus(statusHandle, &status);
  }

  // Main thread: the destroy handler, once, and only after create.
  void DestroyModule() {
    if (created && !destroyed) {
      destroyed = true;
      module.ServiceDestroy();
    }
  }
};

constexpr DWORD kAcceptedWhileRunning =
    SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;

// ServiceMain has no parameter for our data: the run of this process is
// published here for it while RunService runs.
std::mutex gCurrentMutex;
std::shared_ptr<ServiceRun> gCurrent;

std::shared_ptr<ServiceRun> Current() {
  std::lock_guard lock(gCurrentMutex);
  return gCurrent;
}

void Publish(std::shared_ptr<ServiceRun> run) {
  std::lock_guard lock(gCurrentMutex);
  gCurrent = std::move(run);
}

// Main thread: the module comes to life.
void CreateAndStart(const std::shared_ptr<ServiceRun>& run) {
  {
    std::lock_guard lock(run->mutex);
    if (run->ended) return;
  }
  run->created = true;
  run->module.ServiceCreate();
  run->module.ServiceStart();
  std::lock_guard lock(run->mutex);
  run->started = true;
  run->changed.notify_all();
}

// Main thread: the stop that the control handler asked for, then the end of
// the loop.  Like every task here it does nothing once RunService is past its
// loop (a task may be left in the queue).
void StopAndEnd(const std::shared_ptr<ServiceRun>& run) {
  {
    std::lock_guard lock(run->mutex);
    if (run->ended) return;
  }
  if (run->created) run->module.ServiceStop();
  {
    std::lock_guard lock(run->mutex);
    run->stopDone = true;
    run->changed.notify_all();
  }
  run->DestroyModule();
  Loop::Terminate();
}

// The dispatcher's thread.  Stop and shutdown report stop pending, hand the
// stop to the main loop and wait for the module's handler; pause and continue
// only change the reported state (the module has no handlers for them).
DWORD WINAPI ControlHandler(DWORD control, DWORD, LPVOID, LPVOID context) {
  auto* raw = static_cast<ServiceRun*>(context);
  std::unique_lock lock(raw->mutex);
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: {
      if (raw->stopRequested || raw->ended) return NO_ERROR;
      raw->stopRequested = true;
      raw->Report(SERVICE_STOP_PENDING);
      // The task keeps the run alive even if it is left in the queue.
      Loop::Post([run = raw->shared_from_this()] { StopAndEnd(run); });
      raw->changed.wait_for(lock, kHandOverTimeout, [raw] { return raw->stopDone || raw->ended; });
      return NO_ERROR;
    }
    case SERVICE_CONTROL_PAUSE:
      if (!raw->stopRequested) raw->Report(SERVICE_PAUSED, kAcceptedWhileRunning, SERVICE_RUNNING);
      return NO_ERROR;
    case SERVICE_CONTROL_CONTINUE:
      if (!raw->stopRequested) raw->Report(SERVICE_RUNNING, kAcceptedWhileRunning, SERVICE_PAUSED);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// The service's thread, started by the dispatcher.  It registers the control
// handler, hands create and start to the main loop and reports running once
// they have run.  When they take too long the main loop is asked to end, which
// stops the service cleanly from there.
void WINAPI ServiceMain(DWORD, LPWSTR*) {
  std::shared_ptr<ServiceRun> run = Current();
  if (!run) return;
  std::unique_lock lock(run->mutex);
  const SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExW(run->name.c_str(), ControlHandler, run.get());
  {
    std::lock_guard reportLock(run->reportMutex);
    run->statusHandle = handle;
  }
  if (!handle) {
    run->phase = ServiceRun::Phase::Failed;
    run->changed.notify_all();
    return;
  }
  if (run->ended) {
    // RunService gave up waiting for us: nothing will run, say so.
    run->Report(SERVICE_STOPPED);
    return;
  }
  run->Report(SERVICE_START_PENDING);
  run->phase = ServiceRun::Phase::Running;
  run->changed.notify_all();
  Loop::Post([run] { CreateAndStart(run); });
  if (run->changed.wait_for(lock, kHandOverTimeout, [&run] { return run->started || run->ended; })) {
    if (run->started && !run->stopRequested) run->Report(SERVICE_RUNNING, kAcceptedWhileRunning);
  } else {
    Loop::Post([] { Loop::Terminate(); });
  }
}

// Its own thread: the dispatcher returns only when the service has stopped, or
// at once when the process was not started by the control manager (1063).
void Dispatch(const std::shared_ptr<ServiceRun>& run) {
  SERVICE_TABLE_ENTRYW table[] = {{run->name.data(), ServiceMain}, {nullptr, nullptr}};
  const BOOL connected = StartServiceCtrlDispatcherW(table);
  std::lock_guard lock(run->mutex);
  if (!connected && run->phase == ServiceRun::Phase::Connecting) run->phase = ServiceRun::Phase::Failed;
  run->dispatcherEnded = true;
  run->changed.notify_all();
}

}  // namespace

// The main thread connects through a thread of its own (the dispatcher call
// blocks for the life of the service) and then runs its loop, where all of the
// module's handlers run.  The loop ends by the stop control or by the program
// itself; either way the module is destroyed and the stopped state is reported
// last.
bool RunService(const std::string& name, ServiceModule& module) {
  auto run = std::make_shared<ServiceRun>(name, module);
  Publish(run);
  std::thread dispatcher([run] { Dispatch(run); });

  bool running = false;
  {
    std::unique_lock lock(run->mutex);
    run->changed.wait_for(lock, kHandOverTimeout,
                          [&run] { return run->phase != ServiceRun::Phase::Connecting; });
    running = run->phase == ServiceRun::Phase::Running;
    if (!running) run->ended = true;
  }
  if (running) {
    Loop::Run();
    run->DestroyModule();
    {
      std::lock_guard lock(run->mutex);
      run->ended = true;
      run->changed.notify_all();
    }
    run->Report(SERVICE_STOPPED);
  }

  bool dispatcherEnded = false;
  {
    std::unique_lock lock(run->mutex);
    dispatcherEnded = run->changed.wait_for(lock, kHandOverTimeout, [&run] { return run->dispatcherEnded; });
  }
  // A dispatcher that does not return keeps its own reference to the run.
  if (dispatcherEnded) {
    dispatcher.join();
  } else {
    dispatcher.detach();
  }
  Publish(nullptr);
  return running;
}

}  // namespace ravo

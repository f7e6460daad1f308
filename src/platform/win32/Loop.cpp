// The Win32 message loop is the thread's real message queue.  Posted tasks wait
// in a locked queue; at most one task message is in the window's queue at a
// time (so Post cannot overflow the message queue), and each task message runs
// one task after announcing the next, so nested loops keep running tasks.
#include "platform/win32/LoopWindow.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/Loop.h"

namespace ravo {

namespace {

constexpr UINT kTaskMessage = WM_APP + 1;
// Each socket gets a message number of its own from this range, so that a
// notification still queued for a closed socket never reaches a new one that
// the system gave the same handle.
constexpr UINT kFirstSocketMessage = WM_APP + 0x100;
constexpr UINT kLastSocketMessage = 0xBFFF;
constexpr wchar_t kClassName[] = L"RavoLoopWindow";

// The state shared with other threads: the task queue and the window to wake.
struct Tasks {
  std::mutex mutex;
  std::deque<std::function<void()>> queue;
  HWND window = nullptr;
  bool messagePending = false;
  std::atomic<bool> terminating{false};

  // Called with the mutex held.
  void Announce() {
    if (window && !messagePending && !queue.empty()) {
      messagePending = PostMessageW(window, kTaskMessage, 0, 0) != FALSE;
    }
  }
};

// Process-wide by nature (Post is static and works from any thread); never
// destroyed, so that static objects ending late still find it.
Tasks& SharedTasks() {
  static Tasks* tasks = new Tasks;
  return *tasks;
}

std::atomic<win32::LoopWindow*> loopWindow{nullptr};

void RunOneTask() {
  Tasks& tasks = SharedTasks();
  std::function<void()> task;
  {
    std::lock_guard lock(tasks.mutex);
    tasks.messagePending = false;
    if (tasks.queue.empty()) return;
    task = std::move(tasks.queue.front());
    tasks.queue.pop_front();
    tasks.Announce();
  }
  if (task) task();
}

void Dispatch(const MSG& message) {
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

}  // namespace

namespace win32 {

LoopWindow& LoopWindow::Get() {
  LoopWindow* window = loopWindow;
  if (!window) {
    window = new LoopWindow;  // lives as long as the process
    loopWindow = window;
  }
  return *window;
}

LoopWindow::LoopWindow() : threadId_(GetCurrentThreadId()), nextSocketMessage_(kFirstSocketMessage) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &LoopWindow::WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
  CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
  Tasks& tasks = SharedTasks();
  std::lock_guard lock(tasks.mutex);
  tasks.window = window_;
  tasks.Announce();  // tasks posted before the window existed
}

LRESULT CALLBACK LoopWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<LoopWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<LoopWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) return self->HandleMessage(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT LoopWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTaskMessage) {
    RunOneTask();
    return 0;
  }
  if (message == WM_TIMER) {
    auto it = timers_.find(static_cast<UINT_PTR>(wParam));
    if (it == timers_.end()) return 0;  // a timer removed while its WM_TIMER was queued
    // Kept alive while it runs: the handler may remove its own timer.
    std::shared_ptr<std::function<void()>> fire = it->second;
    if (*fire) (*fire)();
    return 0;
  }
  if (message >= kFirstSocketMessage && message <= kLastSocketMessage) {
    auto it = sockets_.find(message);
    if (it == sockets_.end() || it->second->socket != static_cast<SOCKET>(wParam)) return 0;
    std::shared_ptr<SocketEntry> entry = it->second;
    if (entry->handler) entry->handler(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
    return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

UINT_PTR LoopWindow::AddTimer(std::function<void()> fire) {
  const UINT_PTR id = ++lastTimerId_;
  timers_.emplace(id, std::make_shared<std::function<void()>>(std::move(fire)));
  return id;
}

void LoopWindow::RemoveTimer(UINT_PTR id) { timers_.erase(id); }

UINT LoopWindow::AddSocket(SOCKET socket, SocketHandler handler) {
  // The next free number after the last one given, round the range.
  UINT message = nextSocketMessage_;
  while (sockets_.count(message) != 0) {
    message = message == kLastSocketMessage ? kFirstSocketMessage : message + 1;
  }
  nextSocketMessage_ = message == kLastSocketMessage ? kFirstSocketMessage : message + 1;
  sockets_.emplace(message, std::make_shared<SocketEntry>(SocketEntry{socket, std::move(handler)}));
  return message;
}

void LoopWindow::RemoveSocket(UINT message) { sockets_.erase(message); }

}  // namespace win32

void Loop::Run() {
  win32::LoopWindow::Get();
  Tasks& tasks = SharedTasks();
  while (!tasks.terminating) {
    MSG message;
    const BOOL result = GetMessageW(&message, nullptr, 0, 0);
    if (result == 0) {
      tasks.terminating = true;  // WM_QUIT
      break;
    }
    if (result < 0) break;
    Dispatch(message);
  }
}

void Loop::ProcessMessages() {
  while (PumpOne()) {
  }
}

bool Loop::PumpOne() {
  win32::LoopWindow::Get();
  MSG message;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    SharedTasks().terminating = true;
    return true;
  }
  Dispatch(message);
  return true;
}

void Loop::Terminate() {
  Tasks& tasks = SharedTasks();
  tasks.terminating = true;
  win32::LoopWindow* window = loopWindow;
  if (!window || GetCurrentThreadId() == window->ThreadId()) {
    PostQuitMessage(0);
  } else {
    PostMessageW(window->Handle(), WM_NULL, 0, 0);  // wakes GetMessage to see the flag
  }
}

bool Loop::Terminating() { return SharedTasks().terminating; }

void Loop::ResetTerminating() {
  // A quit message still queued would end the next run at once.
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  SharedTasks().terminating = false;
}

void Loop::Post(std::function<void()> task) {
  Tasks& tasks = SharedTasks();
  std::lock_guard lock(tasks.mutex);
  tasks.queue.push_back(std::move(task));
  tasks.Announce();
}

void Loop::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace ravo

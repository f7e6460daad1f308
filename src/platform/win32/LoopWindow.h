// The loop's hidden message-only window: it receives the posted tasks, the
// timers' WM_TIMER and the sockets' WSAAsyncSelect notifications of the loop
// thread.  Created on first use, on the thread that uses it (the loop thread).
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace ravo::win32 {

class LoopWindow {
 public:
  // The window of the process's loop; creates it on first use.
  static LoopWindow& Get();

  HWND Handle() const { return window_; }
  DWORD ThreadId() const { return threadId_; }

  // A fresh timer id, never reused; WM_TIMER for it calls fire while registered.
  UINT_PTR AddTimer(std::function<void()> fire);
  void RemoveTimer(UINT_PTR id);

  // A message number of the socket's own for WSAAsyncSelect; the handler gets
  // the notification's event and error while registered.
  using SocketHandler = std::function<void(WORD event, WORD error)>;
  UINT AddSocket(SOCKET socket, SocketHandler handler);
  void RemoveSocket(UINT message);

  LoopWindow(const LoopWindow&) = delete;
  LoopWindow& operator=(const LoopWindow&) = delete;

 private:
  LoopWindow();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  struct SocketEntry {
    SOCKET socket;
    SocketHandler handler;
  };

  HWND window_ = nullptr;
  DWORD threadId_ = 0;
  UINT_PTR lastTimerId_ = 0;
  std::map<UINT_PTR, std::shared_ptr<std::function<void()>>> timers_;
  UINT nextSocketMessage_ = 0;
  std::map<UINT, std::shared_ptr<SocketEntry>> sockets_;
};

}  // namespace ravo::win32

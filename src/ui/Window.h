// The one window base class: the window procedure binds the C++ object at
// WM_NCCREATE (from lpCreateParams, kept in GWLP_USERDATA) and dispatches to it.
#pragma once

#include <windows.h>

namespace ravo {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const { return handle_; }

 protected:
  static bool RegisterClass(const wchar_t* className);
  bool Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y,
              int width, int height, HWND parent);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND handle_ = nullptr;
};

}  // namespace ravo

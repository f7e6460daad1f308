#include <windows.h>

#include "platform/DesktopWindow.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

HWND Find(const std::string& className, const std::string& title) {
  return FindWindowW(Cp950ToWide(className).c_str(), Cp950ToWide(title).c_str());
}

}  // namespace

bool DesktopWindowExists(const std::string& className, const std::string& title) {
  return Find(className, title) != nullptr;
}

bool SendToDesktopWindow(const std::string& className, const std::string& title, unsigned message,
                         std::uintptr_t wParam, std::intptr_t lParam) {
  HWND window = Find(className, title);
  if (!window) return false;
  SendMessageW(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
  return true;
}

}  // namespace ravo

// The running desktop copy's window, found by class name and exact title.
#pragma once

#include <cstdint>
#include <string>

namespace ravo {

bool DesktopWindowExists(const std::string& className, const std::string& title);
// Sends the message synchronously (the call returns when the window has handled
// it); false when no such window exists.
bool SendToDesktopWindow(const std::string& className, const std::string& title, unsigned message,
                         std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace ravo

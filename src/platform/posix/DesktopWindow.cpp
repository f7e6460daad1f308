#include "platform/DesktopWindow.h"

namespace ravo {

// The native build has no desktop windows.
bool DesktopWindowExists(const std::string&, const std::string&) { return false; }

bool SendToDesktopWindow(const std::string&, const std::string&, unsigned, std::uintptr_t,
                         std::intptr_t) {
  return false;
}

}  // namespace ravo

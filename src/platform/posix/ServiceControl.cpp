#include "platform/ServiceControl.h"

namespace ravo {

// The native build has no service control manager: nothing is ever registered.
bool ServiceInstalled(const std::string&) { return false; }
bool ServiceRunning(const std::string&) { return false; }
bool StopService(const std::string&) { return false; }
bool UninstallService(const std::string&) { return false; }

}  // namespace ravo

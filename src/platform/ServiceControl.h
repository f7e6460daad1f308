// The service control manager, for the program's own service registration.
// Each call opens and closes its handles; failures give false.
#pragma once

#include <string>

namespace ravo {

bool ServiceInstalled(const std::string& name);
bool ServiceRunning(const std::string& name);
// Sends the stop control; does not wait for the service to stop.
bool StopService(const std::string& name);
// Marks the registration for deletion.
bool UninstallService(const std::string& name);

}  // namespace ravo

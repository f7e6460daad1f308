#include <windows.h>

#include <functional>

#include "platform/ServiceControl.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

// Opens the manager and the service with full access, runs one request, and
// closes both handles in every case.
bool WithService(const std::string& name, const std::function<bool(SC_HANDLE)>& request) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager ? OpenServiceW(manager, Cp950ToWide(name).c_str(), SERVICE_ALL_ACCESS)
                              : nullptr;
  const bool result = service && request(service);
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return result;
}

}  // namespace

bool ServiceInstalled(const std::string& name) {
  return WithService(name, [](SC_HANDLE) { return true; });
}

bool ServiceRunning(const std::string& name) {
  return WithService(name, [](SC_HANDLE service) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING;
  });
}

bool StopService(const std::string& name) {
  return WithService(name, [](SC_HANDLE service) {
    SERVICE_STATUS status{};
    return ControlService(service, SERVICE_CONTROL_STOP, &status) != FALSE;
  });
}

bool UninstallService(const std::string& name) {
  return WithService(name, [](SC_HANDLE service) { return DeleteService(service) != FALSE; });
}

}  // namespace ravo

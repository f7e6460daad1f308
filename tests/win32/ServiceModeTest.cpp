// "ravo.exe -service" under Wine's service control manager: it starts, logs to
// Service.log beside the executable, and stops on request.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/win32/Wide.h"
#include "support/Fixtures.h"
#include "support/WinePaths.h"

namespace ravo {
namespace {

namespace fs = std::filesystem;

using test::FromLinux;

DWORD StateOf(SC_HANDLE service) {
  SERVICE_STATUS status{};
  return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

bool WaitForState(SC_HANDLE service, DWORD state) {
  for (int i = 0; i < 300; ++i) {
    if (StateOf(service) == state) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST(ServiceMode, StartsLogsToServiceLogAndStops) {
  test::ScratchFolder scratch("service-mode");
  const fs::path exe = scratch.Path() / "ravo.exe";
  fs::copy_file(FromLinux(RAVO_EXE_PATH), exe, fs::copy_options::overwrite_existing);

  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  const std::wstring commandLine = L"\"" + exe.wstring() + L"\" -service";
  SC_HANDLE service = CreateServiceW(manager, L"VarnelRavoService", L"VarnelRavoService", SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, commandLine.c_str(), nullptr,
                                     nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(service, nullptr) << GetLastError();
  EXPECT_TRUE(StartServiceW(service, 0, nullptr));
  EXPECT_TRUE(WaitForState(service, SERVICE_RUNNING));

  SERVICE_STATUS status{};
  EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_TRUE(WaitForState(service, SERVICE_STOPPED));
  DeleteService(service);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);

  std::string log;
  for (int i = 0; i < 100 && log.find("***Logging ending.***") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    log = test::ReadFile(scratch.Path() / "Service.log");
  }
  EXPECT_NE(log.find("] ***Logging started.***\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] ***Logging ending.***\r\n"), std::string::npos) << log;
  // The service's own log only: no desktop log file is written.
  for (const auto& entry : fs::directory_iterator(scratch.Path())) {
    EXPECT_EQ(entry.path().filename().wstring().find(L"Ravo - "), std::wstring::npos);
  }
}

}  // namespace
}  // namespace ravo

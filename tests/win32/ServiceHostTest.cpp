// The service host under Wine's service control manager: a probe program is
// installed as a service, started, paused, continued and stopped, and tells
// which of its handlers ran, in which order, on which thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Wide.h"
#include "support/Fixtures.h"

namespace ravo {
namespace {

namespace fs = std::filesystem;
constexpr const wchar_t* kProbeService = L"RavoProbeService";

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 15000) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

// Wine maps the Linux root to drive Z:.
std::wstring ProbePath() {
  std::wstring path = L"Z:" + Utf8ToWide(RAVO_SERVICE_PROBE_PATH);
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

std::vector<std::string> Lines(const fs::path& path) {
  std::vector<std::string> lines;
  std::istringstream in(test::ReadFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ServiceHost : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager_, nullptr);
    Remove();  // a leftover of an interrupted run
  }
  void TearDown() override {
    Remove();
    if (manager_) CloseServiceHandle(manager_);
  }

  // Installs the probe with its command line arguments after the program.
  void Install(const std::wstring& arguments) {
    const std::wstring commandLine = L"\"" + ProbePath() + L"\" " + arguments;
    service_ = CreateServiceW(manager_, kProbeService, kProbeService, SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                              commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    const DWORD error = GetLastError();
    ASSERT_NE(service_, nullptr) << error;
  }

  DWORD State() {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service_, &status) ? status.dwCurrentState : 0;
  }
  bool WaitForState(DWORD state) {
    return WaitFor([&] { return State() == state; });
  }
  bool Control(DWORD control) {
    SERVICE_STATUS status{};
    return ControlService(service_, control, &status) != FALSE;
  }

  // Stops and deletes the probe service and waits until the manager has let
  // go of its name.
  void Remove() {
    if (!service_) service_ = OpenServiceW(manager_, kProbeService, SERVICE_ALL_ACCESS);
    if (!service_) return;
    if (State() != SERVICE_STOPPED) {
      Control(SERVICE_CONTROL_STOP);
      EXPECT_TRUE(WaitForState(SERVICE_STOPPED));
    }
    EXPECT_TRUE(DeleteService(service_));
    CloseServiceHandle(service_);
    service_ = nullptr;
    EXPECT_TRUE(WaitFor([&] {
      SC_HANDLE again = OpenServiceW(manager_, kProbeService, SERVICE_QUERY_STATUS);
      if (again) CloseServiceHandle(again);
      return again == nullptr;
    }));
  }

  std::vector<std::string> FirstLines(std::size_t count) {
    std::vector<std::string> lines = Lines(output);
    if (lines.size() > count) lines.resize(count);
    return lines;
  }

  test::ScratchFolder scratch{"service-host"};
  fs::path output = scratch.Path() / "probe.txt";
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

TEST_F(ServiceHost, StartPauseContinueStopRunTheHandlersOnTheMainThread) {
  Install(L"\"" + output.wstring() + L"\"");
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  ASSERT_TRUE(WaitForState(SERVICE_RUNNING)) << State();
  EXPECT_EQ(Lines(output), (std::vector<std::string>{"ServiceCreate main", "ServiceStart main"}));

  ASSERT_TRUE(Control(SERVICE_CONTROL_PAUSE));
  EXPECT_TRUE(WaitForState(SERVICE_PAUSED)) << State();
  ASSERT_TRUE(Control(SERVICE_CONTROL_CONTINUE));
  EXPECT_TRUE(WaitForState(SERVICE_RUNNING)) << State();

  ASSERT_TRUE(Control(SERVICE_CONTROL_STOP));
  ASSERT_TRUE(WaitForState(SERVICE_STOPPED)) << State();
  // Stopped is reported last: the stop and destroy handlers have run by then.
  EXPECT_EQ(FirstLines(4), (std::vector<std::string>{"ServiceCreate main", "ServiceStart main",
                                                     "ServiceStop main", "ServiceDestroy main"}));
  EXPECT_TRUE(WaitFor([&] { return Lines(output).size() == 5; }));
  EXPECT_EQ(Lines(output).back(), "RunService true");
}

TEST_F(ServiceHost, ProgramEndingItsLoopStopsTheService) {
  Install(L"\"" + output.wstring() + L"\" end");
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  ASSERT_TRUE(WaitForState(SERVICE_STOPPED)) << State();
  // No stop control came, so no stop handler ran; the module was still destroyed.
  EXPECT_EQ(FirstLines(4), (std::vector<std::string>{"ServiceCreate main", "ServiceStart main",
                                                     "OnTimer main", "ServiceDestroy main"}));
  EXPECT_TRUE(WaitFor([&] { return Lines(output).size() == 5; }));
  EXPECT_EQ(Lines(output).back(), "RunService true");
}

TEST_F(ServiceHost, ProgramNotStartedByTheManagerRunsNoHandler) {
  std::wstring commandLine = L"\"" + ProbePath() + L"\" \"" + output.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &process));
  const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  if (!ended) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_TRUE(ended);
  EXPECT_EQ(exitCode, 2u);
  EXPECT_EQ(Lines(output), (std::vector<std::string>{"RunService false"}));
}

}  // namespace
}  // namespace ravo

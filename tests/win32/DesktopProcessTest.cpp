// ravo.exe as real processes under Wine: its registry values, its log files,
// and the hand-over of a second start to the running copy.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/Program.h"
#include "core/Constants.h"
#include "platform/DesktopWindow.h"
#include "platform/Identity.h"
#include "platform/Text.h"
#include "platform/win32/Wide.h"
#include "support/Fixtures.h"
#include "support/WinePaths.h"

namespace ravo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScratchFolder;

using test::FromLinux;

class Process {
 public:
  Process(const fs::path& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(exe.wstring().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info_) != FALSE;
  }
  ~Process() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool Started() const { return started_; }
  // True when the process ended within the time.
  bool Wait(DWORD milliseconds) { return WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0; }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

bool WaitFor(const std::function<bool()>& condition, int milliseconds = 15000) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

class DesktopProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearSettings();
    exe = scratch.Path() / "ravo.exe";
    fs::copy_file(FromLinux(RAVO_EXE_PATH), exe, fs::copy_options::overwrite_existing);
  }
  void TearDown() override {
    SendToDesktopWindow(std::string(kWindowClass), DesktopWindowTitle(), kWmRemoteQuit, 0, 0);
    test::ClearSettings();
  }
  fs::path UserLog() const { return scratch.Path() / Cp950ToWide(EventLog::FileName(false, UserName())); }
  bool WindowUp() const { return DesktopWindowExists(std::string(kWindowClass), DesktopWindowTitle()); }

  ScratchFolder scratch{"desktop-process"};
  fs::path exe;
};

TEST_F(DesktopProcess, SecondStartForwardsToTheRunningCopyAndEnds) {
  Process first(exe, L"");
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(WaitFor([&] { return WindowUp(); })) << "the first copy shows no window";
  EXPECT_TRUE(fs::exists(scratch.Path() / "Service.log"));
  EXPECT_EQ(fs::file_size(scratch.Path() / "Service.log"), 0u);

  Process second(exe, L"-once");
  ASSERT_TRUE(second.Started());
  EXPECT_TRUE(second.Wait(15000)) << "the second start did not end";
  EXPECT_TRUE(WindowUp());

  ASSERT_TRUE(SendToDesktopWindow(std::string(kWindowClass), DesktopWindowTitle(), kWmRemoteQuit, 0, 0));
  EXPECT_TRUE(first.Wait(15000)) << "the running copy did not end on WM_REMOTE_QUIT";

  // Both processes wrote to the same file: two starts, one hand-over, two ends,
  // each line whole.
  const std::string log = ReadFile(UserLog());
  auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("] ***Logging started.***\r\n"), 2u) << log;
  EXPECT_EQ(count("] Ravo already running, switching to running copy.\r\n"), 1u) << log;
  EXPECT_EQ(count("] ***Logging ending.***\r\n"), 2u) << log;
}

TEST_F(DesktopProcess, OtherCaseOfTheServiceArgumentIsADesktopStart) {
  Process start(exe, L"-Service");
  ASSERT_TRUE(start.Started());
  EXPECT_TRUE(WaitFor([&] { return WindowUp(); }));
  SendToDesktopWindow(std::string(kWindowClass), DesktopWindowTitle(), kWmRemoteQuit, 0, 0);
  EXPECT_TRUE(start.Wait(15000));
  EXPECT_TRUE(fs::exists(UserLog()));
  EXPECT_FALSE(ReadFile(scratch.Path() / "Service.log").size() > 0);
}

TEST_F(DesktopProcess, SettingsLandUnderTheMachineRootForAnAdministrator) {
  ASSERT_TRUE(UserIsAdmin());  // Wine's user always is
  {
    TGlobals globals;
    EXPECT_EQ(globals.Registry.Root(), RegistryRoot::LocalMachine);
    globals.GetAltPort();
    globals.GetProxyPort();
    globals.SetPassword("secret");
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tranmoor\\Ravo", 0, KEY_READ, &key), ERROR_SUCCESS);
  auto typeOf = [&](const wchar_t* name) {
    DWORD type = 0;
    return RegQueryValueExW(key, name, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS ? type : REG_NONE;
  };
  EXPECT_EQ(typeOf(L"AltPort"), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(typeOf(L"ProxyPort"), static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(typeOf(L"Password"), static_cast<DWORD>(REG_SZ));
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  RegQueryValueExW(key, L"Password", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  EXPECT_STREQ(text, L"c2VjcmV0");
  RegCloseKey(key);
}

TEST(Registry, Win32TypesRenameAndTreeDeletion) {
  test::ClearSettings();
  Registry registry;
  registry.SetRoot(RegistryRoot::CurrentUser);
  ASSERT_TRUE(registry.OpenKey("Software\\Tranmoor\\Ravo\\Tasks\\0", true));
  EXPECT_TRUE(registry.WriteString("Name", Utf8ToCp950("\xe7\xb6\xb2")));  // CJK survives the W calls
  EXPECT_TRUE(registry.WriteBinary("Bytes", std::string("\0\1\2", 3)));
  EXPECT_TRUE(registry.WriteInteger("Number", -7));
  EXPECT_EQ(registry.ReadString("Name"), Utf8ToCp950("\xe7\xb6\xb2"));
  EXPECT_EQ(registry.ReadBinary("Bytes"), std::string("\0\1\2", 3));
  EXPECT_EQ(registry.DataSize("Bytes"), 3);
  EXPECT_EQ(registry.ReadInteger("Number"), -7);
  EXPECT_EQ(registry.ReadString("Number"), std::nullopt);
  EXPECT_TRUE(registry.RenameValue("Number", "Moved"));
  EXPECT_FALSE(registry.ValueExists("Number"));
  EXPECT_EQ(registry.ValueType("Moved"), RegistryType::Integer);
  registry.CloseKey();
  EXPECT_TRUE(registry.DeleteKey("Software\\Tranmoor\\Ravo\\Tasks"));
  EXPECT_FALSE(registry.KeyExists("Software\\Tranmoor\\Ravo\\Tasks\\0"));
  EXPECT_TRUE(registry.KeyExists("Software\\Tranmoor\\Ravo"));
  test::ClearSettings();
}

}  // namespace
}  // namespace ravo

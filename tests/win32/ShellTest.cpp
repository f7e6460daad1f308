// The shell's execute call through the real shell under Wine: a batch file
// started by verb runs on its own and leaves its output behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/Shell.h"
#include "platform/win32/Wide.h"
#include "support/Fixtures.h"

namespace ravo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The output once it holds a whole line; empty after the bound.
std::string WaitForLine(const fs::path& path, std::chrono::milliseconds bound = std::chrono::seconds(15)) {
  const auto deadline = Clock::now() + bound;
  while (Clock::now() < deadline) {
    const std::string text = test::ReadFile(path);
    if (text.find('\n') != std::string::npos) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return test::ReadFile(path);
}

TEST(ShellWin32, BatchFileRunsWithItsParameters) {
  struct Case {
    const char* verb;
    const char* parameters;  // UTF-8
  };
  // The default verb and "open"; a parameter outside ASCII shows the
  // conversion from code page 950 at the boundary (the batch echoes it back
  // in the console's code page, 950 here).
  for (const Case& c :
       {Case{"", "10.0.0.5 -v"}, Case{"open", "10.0.0.5 -v"}, Case{"open", "10.0.0.5 任務"}}) {
    SCOPED_TRACE(std::string(c.verb) + " " + c.parameters);
    test::ScratchFolder scratch("shell");
    const fs::path batch = scratch.Path() / "task.bat";
    const fs::path output = scratch.Path() / "out.txt";
    test::WriteFile(batch, "@echo %1 %2> \"%~dp0out.txt\"\r\n");
    const std::string parameters = WideToCp950(Utf8ToWide(c.parameters));

    const auto before = Clock::now();
    ShellExecute(c.verb, WideToCp950(batch.wstring()), parameters);
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(5));
    EXPECT_EQ(WaitForLine(output), parameters + "\r\n");
  }
}

TEST(ShellWin32, MissingFileFailsSilently) {
  test::ScratchFolder scratch("shell-missing");
  ShellExecute("open", WideToCp950((scratch.Path() / "missing.bat").wstring()), "x");
  // Nothing to see: no dialog that would wait for a user, and no output.
  EXPECT_TRUE(fs::is_empty(scratch.Path()));
}

}  // namespace
}  // namespace ravo

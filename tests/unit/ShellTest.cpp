// The shell's execute call on Linux: the program starts on its own, with the
// parameters split at blanks and nothing interpreted, and is never left
// behind as our child.  (The Windows build tests the real shell in
// tests/win32/ShellTest.cpp.)
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Shell.h"
#include "support/Fixtures.h"

namespace ravo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A script that writes its parent's id, its argument count and its arguments
// (after the first, the output file) one per line, after an optional pause.
// The output appears at once, by renaming, so a reader never sees half of it.
constexpr const char* kScript =
    "out=$1; shift\n"
    "sleep ${RAVO_SHELL_TEST_PAUSE:-0}\n"
    "printf '%s\\n' \"$PPID\" \"$#\" \"$@\" > \"$out.part\"\n"
    "mv \"$out.part\" \"$out\"\n";

class ShellSpawn : public ::testing::Test {
 protected:
  void SetUp() override {
    script = scratch.Path() / "record.sh";
    test::WriteFile(script, kScript);
    output = scratch.Path() / "out.txt";
  }

  // The output's lines once it exists; empty after the bound.
  std::vector<std::string> WaitForOutput(std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = Clock::now() + bound;
    while (!fs::exists(output) && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::vector<std::string> lines;
    std::ifstream in(output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // One folder per test: the tests may run side by side in separate processes.
  test::ScratchFolder scratch{std::string("shell-") +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  fs::path script;
  fs::path output;
};

// Zombie processes whose parent is this process.
int OurZombies() {
  int zombies = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string stat = test::ReadFile(entry.path() / "stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 > stat.size()) continue;
    const char state = stat[close + 2];
    const long parent = std::strtol(stat.c_str() + close + 4, nullptr, 10);
    if (state == 'Z' && parent == getpid()) ++zombies;
  }
  return zombies;
}

TEST_F(ShellSpawn, RunsTheFileWithParametersSplitAtBlanks) {
  struct Case {
    const char* verb;
    const char* file;
  };
  // Linux has no verbs: every verb starts the program; a bare name is found on PATH.
  for (const Case& c : {Case{"", "/bin/sh"}, Case{"open", "/bin/sh"}, Case{"print", "sh"}}) {
    SCOPED_TRACE(std::string(c.verb) + " " + c.file);
    fs::remove(output);
    ShellExecute(c.verb, c.file, script.string() + "  " + output.string() + " a   $HOME 'q r' %IP");
    const auto lines = WaitForOutput();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "5");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
              (std::vector<std::string>{"a", "$HOME", "'q", "r'", "%IP"}));
  }
}

TEST_F(ShellSpawn, ReturnsAtOnceAndLeavesNoChildBehind) {
  setenv("RAVO_SHELL_TEST_PAUSE", "1", 1);
  const auto before = Clock::now();
  ShellExecute("", "/bin/sh", script.string() + " " + output.string());
  const auto took = Clock::now() - before;
  unsetenv("RAVO_SHELL_TEST_PAUSE");
  EXPECT_LT(took, std::chrono::milliseconds(500));
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(OurZombies(), 0);

  const auto lines = WaitForOutput();
  ASSERT_EQ(lines.size(), 2u);
  // The program was never our child, so nothing of it is ours to reap.
  EXPECT_NE(lines[0], std::to_string(getpid()));
  EXPECT_EQ(lines[1], "0");
}

TEST_F(ShellSpawn, ProgramDoesNotInheritOurFiles) {
  // A write end that the program kept open would hold off the end of file here
  // for as long as it runs (as a listening socket would stay taken).
  int ends[2] = {-1, -1};
  ASSERT_EQ(pipe(ends), 0);
  setenv("RAVO_SHELL_TEST_PAUSE", "2", 1);
  ShellExecute("", "/bin/sh", script.string() + " " + output.string());
  unsetenv("RAVO_SHELL_TEST_PAUSE");
  close(ends[1]);
  pollfd readable{ends[0], POLLIN, 0};
  EXPECT_EQ(poll(&readable, 1, 1000), 1);
  char byte = 0;
  EXPECT_EQ(read(ends[0], &byte, 1), 0);
  close(ends[0]);
  EXPECT_EQ(WaitForOutput().size(), 2u);
}

TEST_F(ShellSpawn, MissingProgramFailsSilently) {
  for (const char* file : {"/nonexistent/program", "ravo-no-such-program", ""}) {
    SCOPED_TRACE(file);
    ShellExecute("open", file, output.string());
  }
  EXPECT_EQ(OurZombies(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(output));
}

}  // namespace
}  // namespace ravo

#endif  // _WIN32

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/Texts.h"
#include "support/Fixtures.h"
#include "support/RecordingView.h"

namespace ravo {
namespace {

using test::EngineTest;

#ifdef _WIN32
constexpr bool kIsWindows = true;
#else
constexpr bool kIsWindows = false;
#endif

TEST_F(EngineTest, SplitCommandCases) {
  engine->CurrentAddress = "10.0.0.5";
  const struct {
    std::string command, file, parameters;
  } cases[] = {
      {"\"C:\\Tools\\notify.exe\" %IP", "C:\\Tools\\notify.exe", "10.0.0.5"},
      {"notify.exe %ip -v", "notify.exe", "10.0.0.5 -v"},
      {"\"C:\\Program Files\\x.exe\"", "C:\\Program Files\\x.exe", ""},
      {"ding.wav", "ding.wav", ""},
      {"\"a\"\"b\" c", "a\"b", " c"},
      {"'quoted file' %Ip", "quoted file", "10.0.0.5"},
      {"\"unclosed text", "unclosed text", ""},
      {"run.bat  two  blanks", "run.bat", " two  blanks"},
      {"%iP", "10.0.0.5", ""},
  };
  for (const auto& c : cases) {
    const auto [file, parameters] = engine->SplitCommand(c.command);
    EXPECT_EQ(file, c.file) << c.command;
    EXPECT_EQ(parameters, c.parameters) << c.command;
  }
}

// Tasks are subkeys "Tasks\0", "Tasks\1", ...; the first gap ends the list.
void WriteTask(TGlobals& globals, int number, const std::string& command, bool checked, bool asService) {
  auto& registry = globals.Registry;
  registry.OpenKey(globals.KeyPath + "\\Tasks\\" + std::to_string(number), true);
  registry.WriteString("Name", "task " + std::to_string(number));
  registry.WriteString("Command", command);
  registry.WriteString("RunHow", "open");
  registry.WriteBool("Checked", checked);
  registry.WriteBool("RunAsService", asService);
  globals.OpenMainKey();
}

class TaskRun : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
#ifdef _WIN32
    // The real shell starts a batch file through the command interpreter.
    test::WriteFile(folder->Path() / "touch.bat", "@echo ran> \"%~dp0%1\"\r\n");
#endif
  }
  // A task that leaves a file named after the address it received.
  std::string Touch(const std::string& tag) const {
#ifdef _WIN32
    return "\"" + folder->Folder() + "touch.bat\" " + tag + "-%IP";
#else
    return "/usr/bin/touch " + folder->Folder() + tag + "-%IP";
#endif
  }
  // The files the tests leave besides those of the tasks: the two logs (and
  // the batch file).
  static constexpr int kOwnFiles = kIsWindows ? 3 : 2;
  bool Ran(const std::string& tag, const std::string& address) const {
    for (int i = 0; i < 500; ++i) {
      if (std::filesystem::exists(folder->Path() / (tag + "-" + address))) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
};

TEST_F(TaskRun, DesktopRunsCheckedTasksUpToTheFirstGap) {
  test::RecordingView view;
  TRavo ravo(*engine, view);
  WriteTask(*globals, 0, Touch("t0"), true, false);
  WriteTask(*globals, 1, Touch("t1"), false, true);
  WriteTask(*globals, 3, Touch("t3"), true, true);
  engine->CurrentAddress = "10.0.0.5";
  engine->RunTasks();
  EXPECT_EQ(globals->Registry.CurrentPath(), globals->KeyPath);
  EXPECT_TRUE(Ran("t0", "10.0.0.5"));
  std::this_thread::sleep_for(std::chrono::milliseconds(kIsWindows ? 1000 : 200));
  EXPECT_FALSE(std::filesystem::exists(folder->Path() / "t1-10.0.0.5"));
  EXPECT_FALSE(std::filesystem::exists(folder->Path() / "t3-10.0.0.5"));
}

TEST_F(TaskRun, ServiceRunsOnlyTasksMarkedForIt) {
  WriteTask(*globals, 0, Touch("desk"), true, false);
  WriteTask(*globals, 1, Touch("svc"), true, true);
  engine->CurrentAddress = "10.0.0.6";
  engine->RunTasks();  // no window: the service's rule
  EXPECT_TRUE(Ran("svc", "10.0.0.6"));
  EXPECT_FALSE(std::filesystem::exists(folder->Path() / "desk-10.0.0.6"));
}

// The address comes from the server's check page: only a dotted IPv4 address
// (blanks and line breaks around it removed) ever reaches a command line.
TEST_F(TaskRun, ServerTextThatIsNoAddressRunsNoTask) {
  WriteTask(*globals, 0, Touch("t"), true, true);
  engine->CurrentAddress = "10.0.0.7\r\n";
  engine->RunTasks();
  EXPECT_TRUE(Ran("t", "10.0.0.7"));
  for (const std::string bad : {"1.2.3.4; rm -rf /", "<html>", "1.2.3", "1.2.3.256", ""}) {
    engine->CurrentAddress = bad;
    engine->RunTasks();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // The test's own files and the one task file: nothing else was started.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder->Path()), {}), kOwnFiles + 1);
  const std::string log = LogText();
  std::size_t notices = 0;
  for (auto at = log.find(text::kTasksNotRun); at != std::string::npos; at = log.find(text::kTasksNotRun, at + 1)) {
    ++notices;
  }
  EXPECT_EQ(notices, 5u);
}

}  // namespace
}  // namespace ravo

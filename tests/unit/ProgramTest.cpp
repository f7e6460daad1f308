#include <gtest/gtest.h>

#include "app/Program.h"
#include "platform/Identity.h"
#include "support/Fixtures.h"

namespace ravo {
namespace {

using test::ReadFile;
using test::ScratchFolder;

TEST(Program, OnlyTheExactFirstArgumentChoosesTheMode) {
  const struct {
    std::vector<std::string> args;
    ProgramMode mode;
  } cases[] = {
      {{}, ProgramMode::Desktop},
      {{"-service"}, ProgramMode::Service},
      {{"-service", "x"}, ProgramMode::Service},
      {{"-uninstall"}, ProgramMode::Uninstall},
      {{"-Service"}, ProgramMode::Desktop},
      {{"-UNINSTALL"}, ProgramMode::Desktop},
      {{"-once", "-service"}, ProgramMode::Desktop},
      {{"-once"}, ProgramMode::Desktop},
      {{" -service"}, ProgramMode::Desktop},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseMode(c.args), c.mode) << (c.args.empty() ? "(none)" : c.args[0]);
  }
}

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override { test::ClearSettings(); }
  void TearDown() override { test::ClearSettings(); }

  // Runs the program with recording parts; returns what ran, in order.
  std::string Run(std::vector<std::string> args, bool copyRunning) {
    std::string ran;
    ProgramParts parts;
    parts.makeGlobals = [] { return std::make_unique<TGlobals>(RegistryRoot::CurrentUser); };
    parts.engineSetup.logFolder = scratch.Folder();
    parts.engineSetup.fallbackLogFolder = scratch.Folder();
    parts.forwardToRunningCopy = [&] {
      ran += "forward ";
      return copyRunning;
    };
    parts.runDesktop = [&](TGlobals&, TRavoGlobals& engine) {
      ran += "desktop ";
      engineSeen = &engine;
    };
    parts.runService = [&](TGlobals&, TRavoGlobals& engine) {
      ran += "service:" + std::to_string(engine.ServiceMode()) + " ";
    };
    parts.runUninstall = [&](TGlobals&, TRavoGlobals&) { ran += "uninstall "; };
    RunProgram(args, std::move(parts));
    return ran;
  }
  std::string UserLog() const { return ReadFile(scratch.Path() / EventLog::FileName(false, UserName())); }

  ScratchFolder scratch{"program-run"};
  TRavoGlobals* engineSeen = nullptr;
};

TEST_F(ProgramRun, DispatchesOnTheFirstArgument) {
  EXPECT_EQ(Run({"-service"}, true), "service:1 ");
  EXPECT_EQ(Run({"-uninstall"}, true), "uninstall ");
  EXPECT_EQ(Run({"-once"}, false), "forward desktop ");
  EXPECT_EQ(Run({"-Service"}, false), "forward desktop ");
  EXPECT_EQ(Run({}, false), "forward desktop ");
}

TEST_F(ProgramRun, SecondStartHandsOverAndLogsOneLine) {
  EXPECT_EQ(Run({}, true), "forward ");
  const std::string log = UserLog();
  const auto started = log.find("] ***Logging started.***\r\n");
  const auto handover = log.find("] Ravo already running, switching to running copy.\r\n");
  const auto ending = log.find("] ***Logging ending.***\r\n");
  ASSERT_NE(started, std::string::npos);
  ASSERT_NE(handover, std::string::npos);
  ASSERT_NE(ending, std::string::npos);
  EXPECT_LT(started, handover);
  EXPECT_LT(handover, ending);
}

// A trim reads "LogSizeLimit" (writing 100 when absent): the service and the
// real desktop start trim, the uninstall command does not.
TEST_F(ProgramRun, ServiceAndDesktopStartsTrimTheLog) {
  auto trimmed = [] {
    TGlobals globals(RegistryRoot::CurrentUser);
    return globals.Registry.ValueExists("LogSizeLimit");
  };
  const struct {
    std::vector<std::string> args;
    bool trims;
  } cases[] = {{{"-uninstall"}, false}, {{"-service"}, true}, {{}, true}};
  for (const auto& c : cases) {
    test::ClearSettings();
    Run(c.args, false);
    EXPECT_EQ(trimmed(), c.trims) << (c.args.empty() ? "(none)" : c.args[0]);
  }
}

}  // namespace
}  // namespace ravo

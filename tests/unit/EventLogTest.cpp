#include <gtest/gtest.h>

#include "platform/Identity.h"
#include "support/Fixtures.h"

namespace ravo {
namespace {

using test::EngineTest;
using test::ReadFile;
using test::ScratchFolder;
using test::WriteFile;

LocalTime At(int hour, int minute, int second, int millisecond) {
  LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 11;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  t.millisecond = millisecond;
  t.dayOfWeek = 5;
  return t;
}

TEST(EventLog, LineFormatLeavesTheTimeOutAtExactlyMidnight) {
  const LocalTime noon = At(12, 5, 32, 0);
  const std::string date = FormatShortDate(noon);
  ASSERT_FALSE(date.empty());
  EXPECT_EQ(EventLog::FormatLine("<img index=2> text", noon),
            "[" + date + " " + FormatLongTime(noon) + "] <img index=2> text\r\n");
  EXPECT_EQ(EventLog::FormatLine("m", At(0, 0, 0, 0)), "[" + date + "] m\r\n");
  EXPECT_NE(EventLog::FormatLine("m", At(0, 0, 0, 1)), "[" + date + "] m\r\n");
}

TEST(EventLog, FileNames) {
  EXPECT_EQ(EventLog::FileName(false, "alice"), "Ravo - alice.log");
  EXPECT_EQ(EventLog::FileName(true, "alice"), "Service.log");
}

TEST_F(EngineTest, StartCreatesAnEmptyServiceLogAndTheUsersLog) {
  const auto serviceLog = folder->Path() / "Service.log";
  const auto userLog = folder->Path() / EventLog::FileName(false, UserName());
  EXPECT_TRUE(std::filesystem::exists(serviceLog));
  EXPECT_EQ(std::filesystem::file_size(serviceLog), 0u);
  EXPECT_EQ(engine->Log().Path(), userLog.string());
  const std::string log = ReadFile(userLog);
  EXPECT_EQ(log.front(), '[');
  EXPECT_NE(log.find("] ***Logging started.***\r\n"), std::string::npos);

  MakeEngine({"-service"});  // ends the first engine, then starts the service's
  EXPECT_NE(ReadFile(userLog).find("] ***Logging ending.***\r\n"), std::string::npos);
  EXPECT_EQ(engine->Log().Path(), serviceLog.string());
  engine->LogMessage("<img index=2> markup stays");
  EXPECT_NE(ReadFile(serviceLog).find("] <img index=2> markup stays\r\n"), std::string::npos);

  MakeEngine({"-Service"});  // another case: not the service
  EXPECT_EQ(engine->Log().Path(), userLog.string());
}

TEST_F(EngineTest, TrimKeepsExactlyTheLastLimitKilobytes) {
  engine.reset();
  std::string content;
  for (int i = 0; content.size() < 5000; ++i) content += "line " + std::to_string(i) + "\r\n";
  content.resize(5000);
  const auto path = folder->Path() / EventLog::FileName(false, UserName());
  WriteFile(path, content);
  MakeEngine({});
  const std::string before = ReadFile(path);  // + the start line
  engine->SetLogSizeLimit(1);
  engine->TrimLog();
  EXPECT_EQ(ReadFile(path), before.substr(before.size() - 1024));
  engine->LogMessage("after");
  EXPECT_EQ(ReadFile(path).substr(0, 1024), before.substr(before.size() - 1024));

  engine->SetLogSizeLimit(0);
  engine->TrimLog();
  EXPECT_EQ(ReadFile(path), "");
}

TEST_F(EngineTest, AbsentLimitIsWrittenAsOneHundred) {
  ASSERT_FALSE(globals->Registry.ValueExists("LogSizeLimit"));
  engine->LogMessage("short");
  const std::string before = LogText();
  engine->TrimLog();
  EXPECT_EQ(globals->Registry.ReadInteger("LogSizeLimit"), 100);
  EXPECT_EQ(LogText(), before);  // far below 100 KiB
}

TEST_F(EngineTest, UnwritableFolderFallsBackToTheUsersDataFolder) {
  engine.reset();
  ScratchFolder fallbackRoot("fallback");
  WriteFile(folder->Path() / "not-a-folder", "");
  EngineSetup setup;
  setup.logFolder = (folder->Path() / "not-a-folder" / "").string();  // under a file
  setup.fallbackLogFolder = (fallbackRoot.Path() / "Ravo" / "").string();
  engine = std::make_unique<TRavoGlobals>(*globals, std::move(setup));
  const auto fallback = fallbackRoot.Path() / "Ravo";
  EXPECT_TRUE(std::filesystem::exists(fallback / "Service.log"));
  EXPECT_NE(ReadFile(fallback / EventLog::FileName(false, UserName())).find("***Logging started.***"),
            std::string::npos);
}

// Two writers of one file (two processes of the program) lose and mix no line,
// also when one of them trims in between.
TEST(LogFile, TwoWritersAndATrimLoseNoLine) {
  ScratchFolder scratch("two-writers");
  const std::string path = (scratch.Path() / "shared.log").string();
  LogFile first, second;
  ASSERT_TRUE(first.Open(path));
  ASSERT_TRUE(second.Open(path));
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(first.Append("first " + std::to_string(i) + "\r\n"));
    ASSERT_TRUE(second.Append("second " + std::to_string(i) + "\r\n"));
    if (i == 100) {
      ASSERT_TRUE(second.KeepLast(0));
    }
  }
  const std::string content = ReadFile(scratch.Path() / "shared.log");
  std::string expected;
  for (int i = 101; i < 200; ++i) {
    expected += "first " + std::to_string(i) + "\r\nsecond " + std::to_string(i) + "\r\n";
  }
  EXPECT_EQ(content, expected);
}

}  // namespace
}  // namespace ravo

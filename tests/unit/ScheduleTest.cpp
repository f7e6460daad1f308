#include <gtest/gtest.h>

#include "support/Fixtures.h"

namespace ravo {
namespace {

LocalTime At(int dayOfWeek, int hour, int minute, int second = 0, int millisecond = 0) {
  LocalTime t;
  t.dayOfWeek = dayOfWeek;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  t.millisecond = millisecond;
  return t;
}

class ScheduleTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    EngineSetupWithClock();
    client.OnRequestDone = [this](HttpClient&, HttpRequest kind, int error) {
      EXPECT_EQ(kind, HttpRequest::Get);
      codes.push_back(error);
    };
  }
  void EngineSetupWithClock() {
    engine.reset();
    EngineSetup setup;
    setup.logFolder = folder->Folder();
    setup.fallbackLogFolder = folder->Folder();
    setup.clock = [this] { return now; };
    setup.startGet = [this](HttpClient&) { ++started; };
    engine = std::make_unique<TRavoGlobals>(*globals, std::move(setup));
  }
  std::size_t Notices() const {
    const std::string log = LogText();
    std::size_t n = 0;
    for (auto at = log.find("Access not allowed"); at != std::string::npos; at = log.find("Access not allowed", at + 1)) ++n;
    return n;
  }

  LocalTime now = At(1, 9, 15);
  HttpClient client;
  std::vector<int> codes;
  int started = 0;
};

TEST_F(ScheduleTest, ForbiddenHourRefusesWith666AndNotifiesOncePerHour) {
  std::string schedule(200, '\1');
  schedule[1 * 25 + 10] = 0;  // Monday 09:00-10:00
  schedule[1 * 25 + 11] = 0;  // Monday 10:00-11:00
  schedule[2 * 25 + 10] = 0;  // Tuesday 09:00-10:00
  engine->WriteSchedule(schedule);
  engine->SetUseSchedule(true);

  engine->StartRequest(client, true);
  EXPECT_EQ(codes, std::vector<int>{666});
  EXPECT_EQ(started, 0);
  EXPECT_EQ(engine->RefusalHour, 10);
  EXPECT_EQ(Notices(), 1u);

  now = At(1, 9, 40);
  engine->StartRequest(client, true);
  EXPECT_EQ(Notices(), 1u);
  now = At(2, 9, 10);  // another day, the same hour value: no new notice
  engine->StartRequest(client, true);
  EXPECT_EQ(Notices(), 1u);
  now = At(1, 10, 5);
  engine->StartRequest(client, true);
  EXPECT_EQ(Notices(), 2u);
  EXPECT_EQ(engine->RefusalHour, 11);

  // A request that ignores the schedule goes, and re-arms the notice.
  engine->StartRequest(client, false);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(engine->RefusalHour, -1);
  engine->StartRequest(client, true);
  EXPECT_EQ(Notices(), 3u);
  EXPECT_EQ(codes, (std::vector<int>{666, 666, 666, 666, 666}));
  EXPECT_NE(LogText().find("] <img index=18> Access not allowed at this time due to scheduling, will retry at "
                           "the top of the hour.  To change scheduling options, click <a "
                           "name=schedulingoptions hint=\"Click here to edit your scheduling "
                           "options.\">here</a>.\r\n"),
            std::string::npos);
}

TEST_F(ScheduleTest, ScheduleOffOrAbsentNeverRefuses) {
  engine->WriteSchedule(std::string(200, '\0'));
  engine->SetUseSchedule(false);
  engine->StartRequest(client, true);
  globals->Registry.DeleteValue("ScheduleList");
  engine->SetUseSchedule(true);
  engine->StartRequest(client, true);
  EXPECT_TRUE(codes.empty());
  EXPECT_EQ(started, 2);
}

TEST_F(ScheduleTest, DelayToNextHourCutsTheFractionAndAddsHalfAMinute) {
  const struct {
    LocalTime at;
    int expected;
  } cases[] = {
      {At(4, 23, 59, 59, 400), 30000},
      {At(4, 10, 30, 0, 500), 1799 * 1000 + 30000},
      {At(4, 10, 0, 0, 0), 3600 * 1000 + 30000},
      {At(4, 23, 59, 0, 0), 90000},
  };
  for (const auto& c : cases) {
    now = c.at;
    EXPECT_EQ(engine->DelayToNextHour(), c.expected) << c.at.hour << ":" << c.at.minute;
  }
}

TEST_F(ScheduleTest, RetryDelayDoublesUpToHalfAnHourAndResets) {
  std::vector<int> seconds;
  for (int i = 0; i < 7; ++i) seconds.push_back(engine->NextRetryDelay() / 1000);
  EXPECT_EQ(seconds, (std::vector<int>{60, 120, 240, 480, 960, 1800, 1800}));
  engine->ResetRetryDelay();
  EXPECT_EQ(engine->NextRetryDelay(), 60000);
}

}  // namespace
}  // namespace ravo

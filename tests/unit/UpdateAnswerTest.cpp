// Reading update answers: each result code's image and message, the batch
// answer rules, retries, tasks, "-once" and the retirement, driven through the
// completion handlers with the answer in the receive stream.
#include <gtest/gtest.h>

#include "core/Codecs.h"
#include "core/Texts.h"
#include "platform/Loop.h"
#include "platform/Text.h"
#include "support/Fixtures.h"
#include "support/RecordingView.h"

namespace ravo {
namespace {

class UpdateAnswerTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ravo = std::make_unique<TRavo>(*engine, view);
  }
  void TearDown() override {
    ravo.reset();
    Loop::ResetTerminating();
    EngineTest::TearDown();
  }
  // Completes the batch request in flight with this body.
  void Answer(const std::vector<TUpdateItem*>& batch, const std::string& body, bool lastBatch = false) {
    engine->Batch = batch;
    engine->LastBatch = lastBatch;
    engine->UpdateClient.RcvdStream = std::make_unique<std::string>(body);
    engine->UpdateDone(engine->UpdateClient, HttpRequest::Get, 0);
  }
  std::string LastMessage() const { return view.console.empty() ? "" : view.console.back(); }

  test::RecordingView view;
  std::unique_ptr<TRavo> ravo;
};

TEST_F(UpdateAnswerTest, EachResultCodeHasItsImageAndMessage) {
  TUpdateItem& host = test::AddItem(*ravo, "myhost", false, true);
  const std::string refresh = "<a name=\"refreshhosts\" hint=\"" + text::kRefreshHostsHint + "\">" +
                              text::kRefreshHostsText + "</a>" + text::kRefreshHostsTail;
  const struct {
    int code;
    int image;
    std::string message;
  } cases[] = {
      {0, 4, "<img index=4> myhost" + text::kResultCurrent},
      {1, 3, "<img index=3> myhost" + text::kResultUpdated},
      {2, 7, "<img index=7> myhost" + text::kResultNoHost + refresh},
      {3, 14, "<img index=14> myhost" + text::kResultBadLogin + "<a name=\"editpassword\" hint=\"" +
                  text::kEditPasswordHint + "\">" + text::kEditPasswordText + "</a>" + text::kEditPasswordTail},
      {4, 14, "<img index=14> myhost" + text::kResultBadLogin + "<a name=\"editpassword\" hint=\"" +
                  text::kEditPasswordHint + "\">" + text::kEditPasswordText + "</a>" + text::kEditPasswordTail},
      {5, 12, "<img index=12> myhost" + text::kResultTooMany},
      {6, 10, "<img index=10> myhost" + text::kResultBanned + "<a name=\"tos\" hint=\"" + text::kTosHint + "\">TOS</a>."},
      {7, 7, "<img index=7> myhost" + text::kResultBadAddress + "<a name=\"options\" hint=\"" + text::kOptionsHint +
                 "\">Options</a>" + text::kResultBadAddressTail},
      {8, 10, "<img index=10> myhost" + text::kResultHostUnusable},
      {9, 6, "<img index=6> myhost" + text::kResultRedirect + refresh},
      {10, 7, "<img index=7> myhost" + text::kResultNoGroup + refresh},
      {11, 3, "<img index=3> myhost" + text::kResultGroupUpdated},
      {12, 4, "<img index=4> myhost" + text::kResultGroupCurrent},
      {13, -1, "myhost" + text::kResultUnknown},
      {42, -1, "myhost" + text::kResultUnknown},
  };
  for (const auto& c : cases) {
    engine->ReportResult(host, c.code);
    EXPECT_EQ(host.Row->StateImage, c.image) << c.code;
    EXPECT_EQ(LastMessage(), c.message) << c.code;
  }
  // The texts keep their runs of blanks, byte for byte.
  EXPECT_EQ(text::kResultTooMany, Utf8ToCp950(": \xe4\xbb\x8a\xe5\xa4\xa9\xe6\x9b\xb4\xe6\x96\xb0\xe5\xa4\xaa\xe5\xa4\x9a\xe6\xac\xa1.            "));
  // An unchecked row shows image 1 whatever the result.
  ravo->SetRowChecked(*host.Row, false);
  engine->ReportResult(host, 1);
  EXPECT_EQ(host.Row->StateImage, 1);
}

TEST_F(UpdateAnswerTest, UnreadableLineStopsTheAnswerAndFailsTheBatch) {
  TUpdateItem& a = test::AddItem(*ravo, "a", false, true);
  TUpdateItem& b = test::AddItem(*ravo, "b", false, true);
  TUpdateItem& c = test::AddItem(*ravo, "c", false, true);
  TUpdateItem& d = test::AddItem(*ravo, "d", false, false);
  Answer({&c, &b, &a, &d}, "a:1\r\nb:x\r\nc:0\r\n", true);
  EXPECT_EQ(a.Row->StateImage, 2);
  EXPECT_EQ(b.Row->StateImage, 2);
  EXPECT_EQ(c.Row->StateImage, 2);
  EXPECT_EQ(d.Row->StateImage, 1);
  ASSERT_GE(view.console.size(), 3u);
  EXPECT_EQ(view.console[view.console.size() - 3], "<img index=3> a" + text::kResultUpdated);
  EXPECT_EQ(view.console[view.console.size() - 2].substr(0, 16), "<img index=2> b:");
  EXPECT_EQ(LastMessage(), text::kBatchFailed + "60" + text::kSeconds);
  EXPECT_TRUE(ravo->RetryUpdateTimer().Enabled());
  EXPECT_EQ(ravo->RetryUpdateTimer().Interval(), 60000u);
  EXPECT_TRUE(engine->Batch.empty());
  EXPECT_FALSE(engine->UpdateClient.Busy());
  EXPECT_TRUE(ravo->EnableEditTimer().Enabled());
}

TEST_F(UpdateAnswerTest, LinesMatchByExactNameHostsFirstInAnyOrder) {
  TUpdateItem& host = test::AddItem(*ravo, "x", false, true);
  TUpdateItem& group = test::AddItem(*ravo, "x", true, true);
  TUpdateItem& twin = test::AddItem(*ravo, "x", false, true);  // the same name twice
  TUpdateItem& a = test::AddItem(*ravo, "a", false, true);
  a.Row->StateImage = 0;
  Answer({&host, &group, &twin, &a}, "X:1\nx:1\ra=1\r\n\r\nnobody:5");
  EXPECT_EQ(host.Row->StateImage, 3);
  EXPECT_EQ(group.Row->StateImage, 1);  // the host of that name comes first
  EXPECT_EQ(twin.Row->StateImage, 1);   // only the first of two rows is reached
  EXPECT_EQ(a.Row->StateImage, 0);  // "a=1" names nobody
  EXPECT_FALSE(ravo->RetryUpdateTimer().Enabled());
}

TEST_F(UpdateAnswerTest, ScheduleRefusalMarksTheBatchAndRetriesAfterTheHour) {
  TUpdateItem& a = test::AddItem(*ravo, "a", false, true);
  engine->Batch = {&a};
  engine->UpdateClient.RcvdStream = std::make_unique<std::string>();
  engine->UpdateDone(engine->UpdateClient, HttpRequest::Get, 666);
  EXPECT_EQ(a.Row->StateImage, 18);
  EXPECT_EQ(engine->Batch.size(), 1u);  // a waiting run goes on
  EXPECT_TRUE(ravo->RetryUpdateTimer().Enabled());
  EXPECT_GE(ravo->RetryUpdateTimer().Interval(), 30000u);
  EXPECT_LE(ravo->RetryUpdateTimer().Interval(), 3630000u);
  EXPECT_EQ(engine->RetryDelay, 30000);
}

TEST_F(UpdateAnswerTest, EmptyBodyOfTheLastBatchCountsAsAnsweredAndOnceEnds) {
  ravo.reset();
  MakeEngine({" -ONCE "});
  ravo = std::make_unique<TRavo>(*engine, view);
  TUpdateItem& a = test::AddItem(*ravo, "a", false, true);
  a.Row->StateImage = 0;
  Answer({&a}, "", false);
  EXPECT_EQ(view.closeRequests, 0);
  Answer({&a}, "", true);
  EXPECT_EQ(a.Row->StateImage, 0);
  EXPECT_FALSE(ravo->RetryUpdateTimer().Enabled());
  EXPECT_EQ(view.closeRequests, 1);
  EXPECT_TRUE(ravo->MayClose);
}

TEST_F(UpdateAnswerTest, OnceOnlyCountsAsTheFirstArgument) {
  ravo.reset();
  MakeEngine({"-x", "-once"});
  ravo = std::make_unique<TRavo>(*engine, view);
  TUpdateItem& a = test::AddItem(*ravo, "a", false, true);
  Answer({&a}, "a:1", true);
  EXPECT_EQ(view.closeRequests, 0);
}

TEST_F(UpdateAnswerTest, RetiredVersionStoresTheMarkerAndEndsTheProgram) {
  TUpdateItem& a = test::AddItem(*ravo, "a", false, true);
  TUpdateItem& b = test::AddItem(*ravo, "b", false, true);
  b.Row->StateImage = 0;
  Answer({&a, &b}, "a:99\r\nb:1\r\n", true);
  EXPECT_TRUE(Loop::Terminating());
  EXPECT_TRUE(globals->Registry.ValueExists("Expiredv2.1.5"));
  EXPECT_EQ(view.retirementShown, ravo->RetirementMessage);
  EXPECT_NE(ravo->RetirementMessage.find("(v2.1.5) Varnel Ravo"), std::string::npos);
  EXPECT_EQ(b.Row->StateImage, 0);  // later lines are not read
}

TEST_F(UpdateAnswerTest, ServiceRetriesThroughItsUpdateTimer) {
  ravo.reset();
  struct FakeService : TServiceHost {
    bool Stopping() const override { return false; }
    Timer& UpdateAllTimer() override { return timer; }
    TUpdateItem* FindUpdateItem(const std::string& name, bool isGroup) override {
      return item.Name == name && item.IsGroup == isGroup ? &item : nullptr;
    }
    Timer timer{100};
    TUpdateItem item;
  } service;
  service.item.Name = "g";
  service.item.IsGroup = true;
  engine->Service = &service;
  Answer({&service.item}, "g:11\r\ng:-1\r\n");
  EXPECT_TRUE(service.timer.Enabled());
  EXPECT_EQ(service.timer.Interval(), 60000u);
  const std::string log = LogText();
  EXPECT_NE(log.find("] <img index=3> g" + text::kResultGroupUpdated), std::string::npos);
  EXPECT_NE(log.find("] <img index=2> g" + text::kResultUnreachable + "0" + text::kSeconds), std::string::npos);
  EXPECT_NE(log.find(text::kBatchFailed + "60" + text::kSeconds), std::string::npos);
  engine->Service = nullptr;
}

}  // namespace
}  // namespace ravo

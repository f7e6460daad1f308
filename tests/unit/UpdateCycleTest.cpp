// The update cycle against a scripted loopback server with real sockets: the
// request on the wire, batching, failures and retries, single-item updates.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/Codecs.h"
#include "core/Texts.h"
#include "platform/Loop.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"
#include "support/RecordingView.h"

namespace ravo {
namespace {

using namespace std::chrono_literals;
using test::AddItem;
using test::HttpAnswer;
using test::LoopbackServer;

// The query of a recorded request, its protection undone.
std::string QueryOf(const std::string& request) {
  const auto start = request.find("?request=");
  if (start == std::string::npos) return {};
  const auto end = request.find(' ', start);
  return UnprotectQuery(request.substr(start + 9, end - start - 9), kQueryKey);
}

// An answer of "name:code" lines for every host and group of the request.
std::string AnswerAll(const std::string& request, const std::string& code) {
  const std::string query = QueryOf(request);
  std::string body;
  for (std::size_t at = 0; (at = query.find("[]=", at)) != std::string::npos;) {
    at += 3;
    const auto end = query.find('&', at);
    body += query.substr(at, end == std::string::npos ? std::string::npos : end - at) + ":" + code + "\r\n";
  }
  return HttpAnswer(body);
}

class UpdateCycleTest : public test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    globals->Registry.WriteString("UpdateServer", "127.0.0.1");
    globals->SetUsername("user");
    globals->SetPassword("p@ss");
    engine.reset();
    EngineSetup setup;
    setup.logFolder = folder->Folder();
    setup.fallbackLogFolder = folder->Folder();
    // The update port becomes the scripted server's own port.
    setup.startGet = [this](HttpClient& client) {
      const auto at = client.URL.find(":8245/");
      if (at != std::string::npos && server) client.URL.replace(at + 1, 4, std::to_string(server->Port()));
      client.GetASync();
    };
    engine = std::make_unique<TRavoGlobals>(*globals, std::move(setup));
    ravo = std::make_unique<TRavo>(*engine, view);
  }
  void TearDown() override {
    ravo.reset();
    server.reset();
    Loop::ResetTerminating();
    EngineTest::TearDown();
  }
  void Serve(LoopbackServer::Handler handler) { server = std::make_unique<LoopbackServer>(std::move(handler)); }
  bool Settled() {
    return test::PumpUntil([&] { return !engine->UpdateClient.Busy(); }, 10s);
  }
  std::string Log() const { return LogText(); }

  test::RecordingView view;
  std::unique_ptr<TRavo> ravo;
  std::unique_ptr<LoopbackServer> server;
};

TEST_F(UpdateCycleTest, OneBatchCarriesTheItemsInReverseOrderWithTheRightHeaders) {
  Serve(test::Respond([](const std::string& request) { return AnswerAll(request, "1"); }));
  TUpdateItem& a = AddItem(*ravo, "a", false, true);
  TUpdateItem& g = AddItem(*ravo, "team", true, true);
  TUpdateItem& c = AddItem(*ravo, "c", false, true);
  engine->RunUpdate({&a, &g, &c}, true);
  ASSERT_TRUE(Settled());
  ASSERT_EQ(server->RequestCount(), 1u);
  const std::string request = server->Request(0);
  EXPECT_EQ(request.rfind("GET /ravoupdate.php?request=", 0), 0u) << request;
  EXPECT_NE(request.find(" HTTP/1.0\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nUser-Agent: Ravo v2.1.5\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"),
            std::string::npos);
  EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos);
  EXPECT_EQ(request.find("Proxy-Authorization"), std::string::npos);
  EXPECT_EQ(QueryOf(request), "username=user&pass=p%40ss&h[]=c&g[]=team&h[]=a");
  EXPECT_EQ(a.Row->StateImage, 3);
  EXPECT_EQ(g.Row->StateImage, 3);
  EXPECT_EQ(c.Row->StateImage, 3);
  EXPECT_NE(Log().find("<img index=3> team" + text::kResultUpdated), std::string::npos);
}

TEST_F(UpdateCycleTest, ChosenUpdateAddressIsSentLast) {
  Serve(test::Respond([](const std::string& request) { return AnswerAll(request, "0"); }));
  TUpdateItem& a = AddItem(*ravo, "a", false, true);
  engine->SetAdapter(0);
  const std::string address = engine->AdapterList(false)[0];
  engine->RunUpdate({&a}, false);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(QueryOf(server->Request(0)), "username=user&pass=p%40ss&h[]=a&ip=" + address);
  EXPECT_EQ(a.Row->StateImage, 4);
}

TEST_F(UpdateCycleTest, LongNamesGoInSeveralBatchesEachBuiltAfterTheLastAnswer) {
  Serve(test::Respond([](const std::string& request) { return AnswerAll(request, "1"); }));
  const std::string stem(650, 'x');
  TUpdateItem& a = AddItem(*ravo, "a" + stem, false, true);
  TUpdateItem& b = AddItem(*ravo, "b" + stem, false, true);
  TUpdateItem& c = AddItem(*ravo, "c" + stem, false, true);
  engine->RunUpdate({&a, &b, &c}, false);
  // Sent, not yet answered: the run returned after the second request started.
  ASSERT_TRUE(Settled());
  ASSERT_EQ(server->RequestCount(), 2u);
  EXPECT_EQ(QueryOf(server->Request(0)), "username=user&pass=p%40ss&h[]=c" + stem + "&h[]=b" + stem);
  EXPECT_EQ(QueryOf(server->Request(1)), "username=user&pass=p%40ss&h[]=a" + stem);
  EXPECT_EQ(a.Row->StateImage, 3);
  EXPECT_EQ(c.Row->StateImage, 3);
}

TEST_F(UpdateCycleTest, AnItemTooLongForAnyBatchIsMarkedForRetryWithoutATimer) {
  Serve(test::Respond([](const std::string&) { return HttpAnswer(""); }));
  TUpdateItem& small = AddItem(*ravo, "small", false, true);
  TUpdateItem& huge = AddItem(*ravo, std::string(1500, 'h'), false, true);
  engine->RunUpdate({&small, &huge}, false);
  ASSERT_TRUE(Settled());
  ASSERT_EQ(server->RequestCount(), 1u);
  EXPECT_EQ(QueryOf(server->Request(0)), "username=user&pass=p%40ss");
  EXPECT_EQ(huge.Row->StateImage, 2);
  EXPECT_EQ(small.Row->StateImage, 2);
  EXPECT_FALSE(ravo->RetryUpdateTimer().Enabled());
}

// A server that cannot be reached, never answers, resets or floods: the batch
// fails with the shared retry delay and the run stops; nothing hangs.
TEST_F(UpdateCycleTest, TransferFailuresRetryWithTheSharedDelay) {
  const struct {
    const char* name;
    LoopbackServer::Handler handler;
  } cases[] = {
      {"stall", test::StallForever()},
      {"close", test::CloseWithoutAnswer()},
      // A length is announced: Wine reports a reset like an orderly close.
      {"reset", test::ResetAfter("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\na:")},
      {"huge", test::HugeBody(100000)},
  };
  int expectedSeconds = 60;
  for (const auto& c : cases) {
    Serve(c.handler);
    engine->UpdateClient.IdleTimeout = 300ms;
    engine->UpdateClient.MaxBodyBytes = 10000;
    TUpdateItem& a = AddItem(*ravo, std::string(700, 'a'), false, true);
    TUpdateItem& b = AddItem(*ravo, std::string(700, 'b'), false, true);
    TUpdateItem& d = AddItem(*ravo, std::string(700, 'd'), false, true);
    engine->RunUpdate({&a, &b, &d}, false);
    ASSERT_TRUE(Settled()) << c.name;
    test::PumpFor(50ms);
    EXPECT_EQ(server->RequestCount(), 1u) << c.name;  // the run stopped
    EXPECT_EQ(a.Row->StateImage, 2) << c.name;
    EXPECT_EQ(d.Row->StateImage, 2) << c.name;
    EXPECT_TRUE(ravo->RetryUpdateTimer().Enabled()) << c.name;
    EXPECT_EQ(ravo->RetryUpdateTimer().Interval(), static_cast<unsigned>(expectedSeconds * 1000)) << c.name;
    EXPECT_NE(Log().find(text::kBatchFailed + std::to_string(expectedSeconds) + text::kSeconds), std::string::npos)
        << c.name;
    expectedSeconds *= 2;
    ravo->RetryUpdateTimer().Stop();
    ravo->ResetHostList();
    server.reset();
  }
}

TEST_F(UpdateCycleTest, RefusedConnectionFailsTheBatch) {
  Serve(test::Respond([](const std::string&) { return HttpAnswer(""); }));
  const std::uint16_t closedPort = test::UnusedPort();
  ravo.reset();
  engine.reset();
  EngineSetup setup;
  setup.logFolder = folder->Folder();
  setup.fallbackLogFolder = folder->Folder();
  setup.startGet = [closedPort](HttpClient& client) {
    client.URL.replace(client.URL.find(":8245/") + 1, 4, std::to_string(closedPort));
    client.GetASync();
  };
  engine = std::make_unique<TRavoGlobals>(*globals, std::move(setup));
  ravo = std::make_unique<TRavo>(*engine, view);
  TUpdateItem& a = AddItem(*ravo, "a", false, true);
  engine->RunUpdate({&a}, false);
  ASSERT_TRUE(Settled());
  EXPECT_EQ(a.Row->StateImage, 2);
  EXPECT_EQ(ravo->RetryUpdateTimer().Interval(), 60000u);
}

TEST_F(UpdateCycleTest, SingleItemUpdateUsesItsOwnClientAndReleasesIt) {
  Serve(test::Respond([](const std::string& request) { return AnswerAll(request, "11"); }));
  TUpdateItem& host = AddItem(*ravo, "solo", false, true);
  TUpdateItem& group = AddItem(*ravo, "crew", true, true);
  engine->UpdateSingleItem(host);
  engine->UpdateSingleItem(group);
  ASSERT_TRUE(host.Client);
  HttpClient* first = host.Client.get();
  engine->UpdateSingleItem(host);  // in flight: nothing new starts
  EXPECT_EQ(host.Client.get(), first);
  ASSERT_TRUE(test::PumpUntil([&] { return !host.Client && !group.Client; }, 10s));
  ASSERT_EQ(server->RequestCount(), 2u);
  // Both requests run at once, in either order.
  std::vector<std::string> queries{QueryOf(server->Request(0)), QueryOf(server->Request(1))};
  std::sort(queries.begin(), queries.end());
  EXPECT_EQ(queries, (std::vector<std::string>{"username=user&pass=p%40ss&g[]=crew", "username=user&pass=p%40ss&h[]=solo"}));
  // The code decides the text, not the item's kind.
  EXPECT_NE(Log().find("<img index=3> solo" + text::kResultGroupUpdated), std::string::npos);
  EXPECT_NE(Log().find(text::kUpdatingHost + "solo"), std::string::npos);
  EXPECT_NE(Log().find("Updating group: crew"), std::string::npos);
  EXPECT_EQ(host.Row->StateImage, 3);
  EXPECT_TRUE(ravo->EnableEditTimer().Enabled());
}

TEST_F(UpdateCycleTest, SingleItemEmptyAnswerRetries) {
  Serve(test::Respond([](const std::string&) { return HttpAnswer(""); }));
  TUpdateItem& host = AddItem(*ravo, "solo", false, true);
  engine->UpdateSingleItem(host);
  ASSERT_TRUE(test::PumpUntil([&] { return !host.Client; }, 10s));
  EXPECT_EQ(host.Row->StateImage, 2);
  EXPECT_EQ(ravo->RetryUpdateTimer().Interval(), 60000u);
  EXPECT_NE(Log().find("solo" + text::kResultUnreachable + "60" + text::kSeconds), std::string::npos);
}

TEST_F(UpdateCycleTest, ItemDestroyedWhileItsUpdateIsInFlightEndsQuietly) {
  Serve(test::StallForever());
  TUpdateItem& host = AddItem(*ravo, "solo", false, true);
  engine->UpdateSingleItem(host);
  ASSERT_TRUE(test::PumpUntil([&] { return server->RequestCount() == 1; }));
  ravo->ResetHostList();  // destroys the item and its client
  test::PumpFor(100ms);
  EXPECT_EQ(Log().find(text::kResultUnreachable), std::string::npos);
  EXPECT_FALSE(ravo->RetryUpdateTimer().Enabled());
}

}  // namespace
}  // namespace ravo

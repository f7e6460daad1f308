// The HTTP client over real loopback sockets against a scripted server: the
// request's bytes, the reading of the answer, the error codes, the deadlines,
// the body cap, and the completion's delivery through the loop (never inside
// GetASync, never after the client is gone, safe to restart or destroy from).
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/HttpClient.h"
#include "platform/Loop.h"
#include "support/LoopbackServer.h"

namespace ravo {
namespace {

using namespace std::chrono_literals;
using test::LoopbackConnection;
using test::LoopbackServer;
using test::PumpFor;
using test::PumpUntil;
using Clock = std::chrono::steady_clock;

// The socket layer's own codes, as each build reports them.
#ifdef _WIN32
constexpr int kRefused = 10061;   // WSAECONNREFUSED
constexpr int kReset = 10054;     // WSAECONNRESET
constexpr int kTimedOut = 10060;  // WSAETIMEDOUT
// Wine reports a reset as an orderly close (FD_CLOSE without an error, then
// recv() 0): a reset inside an announced body shows there as an answer cut
// short, and a reset while reading to the close cannot be told from the end.
constexpr int kResetSeenAsClose = kHttpErrorNoResponse;
#else
constexpr int kResetSeenAsClose = -1;
constexpr int kRefused = ECONNREFUSED;
constexpr int kReset = ECONNRESET;
constexpr int kTimedOut = ETIMEDOUT;
#endif

constexpr char kAccept[] = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";

struct Completion {
  int calls = 0;
  int error = -1;
  HttpRequest kind = HttpRequest::None;
  bool readyInHandler = false;
  std::string body;
};

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Loop::ProcessMessages();
    client.Agent = "Ravo v2.1.5";
    client.ConnectTimeout = 5s;
    client.IdleTimeout = 5s;
    client.OnRequestDone = [this](HttpClient& sender, HttpRequest kind, int error) {
      ++done.calls;
      done.error = error;
      done.kind = kind;
      done.readyInHandler = sender.Ready();
      if (sender.RcvdStream) done.body = *sender.RcvdStream;
      sender.RcvdStream.reset();
    };
  }

  // Starts a GET with a fresh receive stream and checks that nothing completes
  // inside the call.
  void Start(const std::string& url) {
    done = Completion{};
    client.URL = url;
    client.RcvdStream = std::make_unique<std::string>();
    client.GetASync();
    EXPECT_EQ(done.calls, 0) << "completed inside GetASync";
    EXPECT_FALSE(client.Ready());
    EXPECT_TRUE(client.Busy());
  }

  // Runs the loop until the completion; returns its error code (-1: none came).
  int Wait(std::chrono::milliseconds bound = 10s) {
    PumpUntil([&] { return done.calls > 0; }, bound);
    EXPECT_EQ(done.calls, 1);
    if (done.calls > 0) {
      EXPECT_EQ(done.kind, HttpRequest::Get);
      EXPECT_TRUE(done.readyInHandler) << "not ready when the handler ran";
    }
    return done.error;
  }

  int Get(const std::string& url) {
    Start(url);
    return Wait();
  }

  HttpClient client;
  Completion done;
};

TEST_F(HttpClientTest, RequestBytesDirectAndThroughAProxy) {
  LoopbackServer server(test::Reply(test::HttpAnswer("ok")));
  ASSERT_TRUE(server.Listening());
  const std::string port = std::to_string(server.Port());
  const std::string direct = "127.0.0.1:" + port;
  // Through a proxy the URL's host is never contacted: the server stands in
  // for the proxy.
  const std::string elsewhere = "http://127.0.0.9:8245/ip.php?a=1&b=%20";
  struct Case {
    const char* name;
    std::string url, proxy, user, password;
    bool noCache;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"direct", server.Url("/ip.php?a=1"), "", "", "", false,
       "GET /ip.php?a=1 HTTP/1.0\r\nHost: " + direct + "\r\nUser-Agent: Ravo v2.1.5\r\nAccept: " + kAccept +
           "\r\n\r\n"},
      {"direct, no cache, no path", "http://" + direct, "", "", "", true,
       "GET / HTTP/1.0\r\nHost: " + direct + "\r\nUser-Agent: Ravo v2.1.5\r\nAccept: " + kAccept +
           "\r\nPragma: no-cache\r\n\r\n"},
      {"user name without proxy: direct, no authorization", server.Url("/x"), "", "user", "pass", false,
       "GET /x HTTP/1.0\r\nHost: " + direct + "\r\nUser-Agent: Ravo v2.1.5\r\nAccept: " + kAccept + "\r\n\r\n"},
      {"proxy without user name", elsewhere, "127.0.0.1", "", "secret", true,
       "GET " + elsewhere + " HTTP/1.0\r\nHost: 127.0.0.9:8245\r\nUser-Agent: Ravo v2.1.5\r\nAccept: " + kAccept +
           "\r\nPragma: no-cache\r\n\r\n"},
      {"proxy with user name", elsewhere, "127.0.0.1", "user", "pass", false,
       "GET " + elsewhere + " HTTP/1.0\r\nHost: 127.0.0.9:8245\r\nUser-Agent: Ravo v2.1.5\r\nAccept: " + kAccept +
           "\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n"},
      {"proxy, user name with empty password", elsewhere, "127.0.0.1", "Aladdin", "", false,
       "GET " + elsewhere + " HTTP/1.0\r\nHost: 127.0.0.9:8245\r\nUser-Agent: Ravo v2.1.5\r\nAccept: " + kAccept +
           "\r\nProxy-Authorization: Basic QWxhZGRpbjo=\r\n\r\n"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    client.Proxy = c.proxy;
    client.ProxyPort = port;
    client.ProxyUsername = c.user;
    client.ProxyPassword = c.password;
    client.NoCache = c.noCache;
    EXPECT_EQ(Get(c.url), 0);
    EXPECT_EQ(done.body, "ok");
    ASSERT_TRUE(server.WaitForRequests(i + 1));
    EXPECT_EQ(server.Request(i), c.expected);
  }
}

TEST_F(HttpClientTest, BindsToTheLocalAddress) {
  LoopbackServer server(test::Reply(test::HttpAnswer("ok")));
  client.LocalAddr = "127.0.0.3";
  EXPECT_EQ(Get(server.Url()), 0);
  EXPECT_EQ(server.PeerAddress(0), "127.0.0.3");
  client.LocalAddr = "0.0.0.0";
  EXPECT_EQ(Get(server.Url()), 0);
  EXPECT_EQ(server.PeerAddress(1), "127.0.0.1");
}

// How answers are read: to the announced length or to the close, whatever the
// status; and which answers are failures.
TEST_F(HttpClientTest, ReadsTheAnswer) {
  struct Case {
    const char* name;
    LoopbackServer::Handler reply;
    int error;
    std::string body;
    int orError = -1;  // also accepted
  };
  const std::string cut = "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(3000, 'b');
  const std::vector<Case> cases = {
      {"to the announced length", test::Reply("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcEXTRA"), 0, "abc"},
      {"to the close", test::Reply(test::HttpAnswer("line 1\r\nline 2", 200, false)), 0, "line 1\r\nline 2"},
      {"any status", test::Reply(test::HttpAnswer("gone", 404)), 0, "gone"},
      {"length zero", test::Reply("HTTP/1.1 204 No Content\r\ncontent-length: 0\r\n\r\n"), 0, ""},
      {"bare line feeds", test::Reply("HTTP/1.0 200 OK\nX: y\n\nbody"), 0, "body"},
      {"answer in pieces",
       [](LoopbackConnection& c) {
         for (const char* piece : {"HT", "TP/1.0 200 OK\r", "\nContent-Length: 4\r\n\r", "\nab", "cd"}) {
           c.Send(piece);
           c.Pause(5ms);
         }
       },
       0, "abcd"},
      {"closed without answer", test::CloseWithoutAnswer(), kHttpErrorNoResponse, ""},
      {"closed inside the header", test::Reply("HTTP/1.0 200 OK\r\nContent-"), kHttpErrorNoResponse, ""},
      {"closed before the announced length", test::Reply("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"),
       kHttpErrorNoResponse, "abc"},
      {"garbage", test::Reply("garbage\r\n\r\n"), kHttpErrorProtocol, ""},
      {"no HTTP status line", test::Reply("<html>HTTP/1.0 200 OK\r\n\r\n"), kHttpErrorProtocol, ""},
      {"reset inside the body", test::ResetAfter(cut), kReset, "", kResetSeenAsClose},
#ifndef _WIN32
      {"reset while reading to the close", test::ResetAfter(test::HttpAnswer("partial", 200, false)), kReset, ""},
#endif
  };
  LoopbackServer server(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.SetHandler(c.reply);
    const int error = Get(server.Url("/a"));
    if (error != c.orError) {
      EXPECT_EQ(error, c.error);
    }
    if (!c.body.empty()) {
      EXPECT_EQ(done.body, c.body);
    }
  }
}

TEST_F(HttpClientTest, BodyCapKeepsMemoryBounded) {
  client.MaxBodyBytes = 1000;
  LoopbackServer server(test::HugeBody(64 * 1024 * 1024));
  EXPECT_EQ(Get(server.Url()), kHttpErrorBodyTooLarge);
  EXPECT_LE(done.body.size(), 1000u);

  server.SetHandler(test::Reply("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\nabc"));
  EXPECT_EQ(Get(server.Url()), kHttpErrorBodyTooLarge) << "an announced length beyond the cap";

  server.SetHandler(test::Reply(test::HttpAnswer(std::string(1000, 'x'), 200, false)));
  EXPECT_EQ(Get(server.Url()), 0) << "a body of exactly the cap";
  EXPECT_EQ(done.body.size(), 1000u);
}

TEST_F(HttpClientTest, ConnectionRefused) {
  EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/ip.php"), kRefused);
}

TEST_F(HttpClientTest, IdleDeadline) {
  client.IdleTimeout = 150ms;
  LoopbackServer server(test::StallForever());
  const auto start = Clock::now();
  EXPECT_EQ(Get(server.Url()), kTimedOut);
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, 130ms);
  EXPECT_LT(elapsed, 3s);

  // Bytes that keep coming, each within the deadline, are no idle connection.
  server.SetHandler([](LoopbackConnection& c) {
    c.Send("HTTP/1.0 200 OK\r\n\r\n");
    for (int i = 0; i < 5; ++i) {
      c.Pause(60ms);
      c.Send("x");
    }
  });
  EXPECT_EQ(Get(server.Url()), 0);
  EXPECT_EQ(done.body, "xxxxx");
}

TEST_F(HttpClientTest, ConnectDeadline) {
  test::FullBacklogListener listener;
  if (!listener.Holds()) GTEST_SKIP() << "connections to a full backlog complete on this system";
  client.ConnectTimeout = 150ms;
  const auto start = Clock::now();
  EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(listener.Port()) + "/"), kTimedOut);
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, 130ms);
  EXPECT_LT(elapsed, 3s);
}

TEST_F(HttpClientTest, StartFailuresCompleteThroughTheLoop) {
  struct Case {
    const char* name;
    std::string url, proxy, proxyPort, localAddr;
  };
  const std::vector<Case> cases = {
      {"empty URL", "", "", "80", "0.0.0.0"},
      {"other scheme", "ftp://127.0.0.1/", "", "80", "0.0.0.0"},
      {"no host", "http:///ip.php", "", "80", "0.0.0.0"},
      {"port 0", "http://127.0.0.1:0/", "", "80", "0.0.0.0"},
      {"port too large", "http://127.0.0.1:65536/", "", "80", "0.0.0.0"},
      {"port not a number", "http://127.0.0.1:8x/", "", "80", "0.0.0.0"},
      {"user information", "http://user@127.0.0.1/", "", "80", "0.0.0.0"},
      {"blank in the path", "http://127.0.0.1/a b", "", "80", "0.0.0.0"},
      {"proxy port not a number", "http://127.0.0.1/", "127.0.0.1", "eighty", "0.0.0.0"},
      {"local address not numeric", "http://127.0.0.1/", "", "80", "127.0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    client.Proxy = c.proxy;
    client.ProxyPort = c.proxyPort;
    client.LocalAddr = c.localAddr;
    EXPECT_EQ(Get(c.url), kHttpErrorBadUrl);
  }
}

TEST_F(HttpClientTest, ResolvesNamesWithoutBlockingTheCall) {
  LoopbackServer server(test::Reply(test::HttpAnswer("by name")));
  EXPECT_EQ(Get("http://localhost:" + std::to_string(server.Port()) + "/ip.php"), 0);
  EXPECT_EQ(done.body, "by name");
}

TEST_F(HttpClientTest, BusyClientIgnoresASecondGet) {
  LoopbackServer server(test::ReplyAfter(50ms, test::HttpAnswer("one")));
  Start(server.Url("/first"));
  client.URL = server.Url("/second");
  client.GetASync();
  EXPECT_EQ(Wait(), 0);
  PumpFor(100ms);
  EXPECT_EQ(done.calls, 1);
  EXPECT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(server.Request(0).rfind("GET /first ", 0), 0u);
  // Busy while a stream is attached, even when ready.
  client.RcvdStream = std::make_unique<std::string>();
  EXPECT_TRUE(client.Ready());
  EXPECT_TRUE(client.Busy());
}

TEST_F(HttpClientTest, AbortCompletesThroughTheLoop) {
  LoopbackServer server(test::StallForever());
  client.Abort();  // nothing in flight: nothing happens
  PumpFor(20ms);
  EXPECT_EQ(done.calls, 0);

  Start(server.Url());
  ASSERT_TRUE(PumpUntil([&] { return server.RequestCount() == 1; }));
  client.Abort();
  EXPECT_EQ(done.calls, 0) << "completed inside Abort";
  EXPECT_EQ(Wait(), kHttpErrorAborted);

  // Aborted while the name is still being resolved.
  Start("http://localhost:" + std::to_string(server.Port()) + "/");
  client.Abort();
  EXPECT_EQ(Wait(), kHttpErrorAborted);
  PumpFor(100ms);
  EXPECT_EQ(done.calls, 1) << "the late resolver answer started the request again";
}

TEST_F(HttpClientTest, NextRequestStartedFromTheHandler) {
  LoopbackServer server(test::Reply(test::HttpAnswer("again")));
  std::vector<int> errors;
  client.OnRequestDone = [&](HttpClient& sender, HttpRequest, int error) {
    errors.push_back(error);
    sender.RcvdStream.reset();
    if (errors.size() < 3) {
      sender.RcvdStream = std::make_unique<std::string>();
      sender.GetASync();
    }
  };
  client.URL = server.Url();
  client.RcvdStream = std::make_unique<std::string>();
  client.GetASync();
  EXPECT_TRUE(PumpUntil([&] { return errors.size() == 3; }));
  EXPECT_EQ(errors, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(server.RequestCount(), 3u);
}

TEST_F(HttpClientTest, DestroyedFromItsHandlerOrWhileInFlight) {
  LoopbackServer server(test::Reply(test::HttpAnswer("bye")));
  auto owned = std::make_unique<HttpClient>();
  int calls = 0;
  owned->OnRequestDone = [&](HttpClient&, HttpRequest, int) {
    ++calls;
    owned.reset();
  };
  owned->URL = server.Url();
  owned->GetASync();
  EXPECT_TRUE(PumpUntil([&] { return owned == nullptr; }));
  EXPECT_EQ(calls, 1);

  // Destroyed while in flight, and while a start failure's completion is
  // queued: no completion afterwards.
  server.SetHandler(test::StallForever());
  for (const std::string& url : {server.Url(), std::string("bad")}) {
    SCOPED_TRACE(url);
    calls = 0;
    owned = std::make_unique<HttpClient>();
    owned->OnRequestDone = [&](HttpClient&, HttpRequest, int) { ++calls; };
    owned->URL = url;
    owned->GetASync();
    PumpFor(30ms);
    if (url != "bad") {
      EXPECT_EQ(calls, 0);
    } else {
      calls = 0;
      owned->GetASync();  // destroyed before the posted completion runs
    }
    owned.reset();
    PumpFor(50ms);
    EXPECT_EQ(calls, 0);
  }
}

}  // namespace
}  // namespace ravo

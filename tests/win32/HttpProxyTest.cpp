// The HTTP client over Winsock through a real HTTP proxy with basic
// authorization, both on loopback.  The proxy is the Linux side's tinyproxy:
// Wine starts Linux programs through CreateProcess (without a process handle),
// so a small script runs it, stops it when the test leaves a "stop" file and,
// whatever happens, after 30 seconds.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "support/WinePaths.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/HttpClient.h"
#include "platform/win32/Wide.h"
#include "support/LoopbackServer.h"

namespace ravo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::LoopbackServer;
using test::PumpUntil;

constexpr char kProxyProgram[] = "/usr/bin/tinyproxy";
constexpr char kUser[] = "ravo";
constexpr char kPassword[] = "s3cret";

using test::FromLinux;

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// True once something accepts connections on 127.0.0.1:port.
bool Accepts(std::uint16_t port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_port = htons(port);
  endpoint.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = connect(s, reinterpret_cast<const sockaddr*>(&endpoint), sizeof endpoint) == 0;
  closesocket(s);
  return connected;
}

// tinyproxy on 127.0.0.1 with basic authorization, for the life of the object.
class LinuxProxy {
 public:
  LinuxProxy() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    port_ = test::UnusedPort();
    dir_ = "/tmp/ravo-proxy-test-" + std::to_string(GetCurrentProcessId());
    std::error_code ec;
    fs::remove_all(FromLinux(dir_), ec);
    fs::create_directories(FromLinux(dir_));
    WriteText(FromLinux(dir_ + "/tinyproxy.conf"),
              "Port " + std::to_string(port_) + "\nListen 127.0.0.1\nTimeout 10\nMaxClients 10\n"
              "Allow 127.0.0.1\nBasicAuth " + kUser + " " + kPassword + "\nLogLevel Error\n"
              "DisableViaHeader Yes\n");
    WriteText(FromLinux(dir_ + "/run.sh"),
              // Off the test's output, which the test runner waits on.
              "exec </dev/null >/dev/null 2>&1\ndir=$1\n" + std::string(kProxyProgram) + " -d -c \"$dir/tinyproxy.conf\" >\"$dir/proxy.log\" 2>&1 &\n"
              "pid=$!\ni=0\n"
              "while [ ! -e \"$dir/stop\" ] && [ $i -lt 600 ] && kill -0 $pid 2>/dev/null; do\n"
              "  sleep 0.05; i=$((i+1))\ndone\n"
              "kill $pid 2>/dev/null; wait $pid 2>/dev/null\ntouch \"$dir/stopped\"\n");
    std::wstring command = L"Z:\\bin\\sh \"" + Utf8ToWide(dir_) + L"/run.sh\" \"" + Utf8ToWide(dir_) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process) != FALSE;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    for (int i = 0; started_ && i < 100 && !listening_; ++i) {
      listening_ = Accepts(port_);
      if (!listening_) std::this_thread::sleep_for(50ms);
    }
  }

  ~LinuxProxy() {
    if (started_) {
      WriteText(FromLinux(dir_ + "/stop"), "");
      for (int i = 0; i < 100 && !fs::exists(FromLinux(dir_ + "/stopped")); ++i) std::this_thread::sleep_for(50ms);
    }
    std::error_code ec;
    fs::remove_all(FromLinux(dir_), ec);
    WSACleanup();
  }

  bool Listening() const { return listening_; }
  std::uint16_t Port() const { return port_; }

 private:
  std::string dir_;
  std::uint16_t port_ = 0;
  bool started_ = false;
  bool listening_ = false;
};

class HttpProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(FromLinux(kProxyProgram))) GTEST_SKIP() << "tinyproxy is not installed";
    proxy_ = std::make_unique<LinuxProxy>();
    ASSERT_TRUE(proxy_->Listening()) << "the proxy did not start";
    client.Agent = "Ravo v2.1.5";
    client.NoCache = true;
    client.ConnectTimeout = 5s;
    client.IdleTimeout = 5s;
    client.Proxy = "127.0.0.1";
    client.ProxyPort = std::to_string(proxy_->Port());
    client.OnRequestDone = [this](HttpClient& sender, HttpRequest, int e) {
      ++calls;
      error = e;
      body = sender.RcvdStream ? *sender.RcvdStream : std::string();
      sender.RcvdStream.reset();
    };
  }

  int Get(const std::string& url) {
    calls = 0;
    client.URL = url;
    client.RcvdStream = std::make_unique<std::string>();
    client.GetASync();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(PumpUntil([&] { return calls > 0; }, 15s));
    return error;
  }

  std::unique_ptr<LinuxProxy> proxy_;
  HttpClient client;
  int calls = 0;
  int error = -1;
  std::string body;
};

TEST_F(HttpProxyTest, AuthorizedRequestReachesTheServer) {
  LoopbackServer origin(test::Reply(test::HttpAnswer("203.0.113.7")));
  client.ProxyUsername = kUser;
  client.ProxyPassword = kPassword;
  EXPECT_EQ(Get(origin.Url("/ip.php?check=1")), 0);
  EXPECT_EQ(body, "203.0.113.7");
  ASSERT_TRUE(origin.WaitForRequests(1));
  const std::string request = origin.Request(0);
  EXPECT_EQ(request.rfind("GET /ip.php?check=1 HTTP/1.", 0), 0u) << request;
  EXPECT_EQ(request.find("Proxy-Authorization"), std::string::npos) << request;
}

// The proxy's refusal is a complete transfer of its own answer; the server is
// never asked.
TEST_F(HttpProxyTest, WrongOrMissingCredentialsAreRefusedByTheProxy) {
  LoopbackServer origin(test::Reply(test::HttpAnswer("203.0.113.7")));
  for (const char* password : {"wrong", ""}) {
    SCOPED_TRACE(password);
    client.ProxyUsername = *password ? kUser : "";
    client.ProxyPassword = password;
    EXPECT_EQ(Get(origin.Url("/ip.php")), 0);
    EXPECT_EQ(body.find("203.0.113.7"), std::string::npos);
    EXPECT_NE(body.find("tinyproxy"), std::string::npos) << body;  // the proxy's own page
  }
  EXPECT_EQ(origin.RequestCount(), 0u);
}

}  // namespace
}  // namespace ravo

// The reference update server: its answers through the pure functions, and a
// few round trips with the built binary on loopback addresses.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "core/Codecs.h"
#include "core/Constants.h"
#include "refserver/Accounts.h"
#include "refserver/Faults.h"
#include "refserver/Http.h"
#include "refserver/Options.h"
#include "refserver/Protocol.h"
#include "support/Fixtures.h"

extern char** environ;

namespace ravo::refserver {
namespace {

// "p%20w" is the password "p w", so the login needs the client's escaping undone.
constexpr std::string_view kAccountsText =
    "# accounts of the tests\r\n"
    "account u p%20w\r\n"
    "hosts u team,alpha|team,beta|#,gamma|\n"
    "hosts u delta|my-.host|\n"
    "  # indented comment\n"
    "account gone pw banned\n"
    "account empty pw\n"
    "force retired 99\n"
    "force busy 5\n"
    "force web 9\n"
    "force broken 8\n"
    "address delta 10.0.0.9\n"
    "limit 3\n";

Accounts TestAccounts() {
  Accounts accounts;
  std::string error;
  EXPECT_TRUE(ParseAccounts(kAccountsText, accounts, error)) << error;
  return accounts;
}

std::string Login(std::string_view user = "u", std::string_view password = "p w") {
  return "username=" + std::string(user) + "&pass=" + EscapeUrlText(password);
}

TEST(RefServerAccounts, ReadsDirectivesAndRejectsBadLines) {
  const Accounts accounts = TestAccounts();
  ASSERT_EQ(accounts.accounts.size(), 3u);
  EXPECT_EQ(accounts.accounts[0].password, "p w");
  // Host lines append verbatim, "#" and all; CR LF line ends are accepted.
  EXPECT_EQ(accounts.accounts[0].hosts, "team,alpha|team,beta|#,gamma|delta|my-.host|");
  EXPECT_TRUE(accounts.accounts[1].banned);
  EXPECT_EQ(accounts.forcedCodes.at("retired"), 99);
  EXPECT_EQ(accounts.updateLimit, 3);

  const struct {
    std::string_view text;
    std::string_view error;
  } bad[] = {
      {"bogus x", "line 1: unknown directive \"bogus\""},
      {"hosts nobody a|", "line 1: hosts for an undeclared account"},
      {"account a b\naccount a c", "line 2: account declared twice"},
      {"account a", "line 1: account needs USER PASSWORD [banned]"},
      {"account a b locked", "line 1: unknown account flag"},
      {"# x\nforce a 100", "line 2: force needs NAME CODE (0 to 99)"},
      {"limit many", "line 1: limit needs a number of updates"},
  };
  for (const auto& c : bad) {
    Accounts parsed;
    std::string error;
    EXPECT_FALSE(ParseAccounts(c.text, parsed, error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

// The cases run in order against one service: the addresses it keeps and the
// update limit carry from one case to the next.
TEST(RefServerProtocol, UpdateAnswersOneCodePerHostAndGroup) {
  RefService service(TestAccounts());
  const struct {
    std::string query;
    std::string_view answer;
  } cases[] = {
      {Login() + "&h[]=gamma", "gamma:1"},  // the caller's address
      {Login() + "&h[]=gamma", "gamma:0"},
      {Login() + "&h[]=gamma&ip=10.1.1.1", "gamma:1"},
      {Login() + "&g[]=team&h[]=alpha", "team:11\r\nalpha:1"},  // a group member is a host too
      {Login() + "&g[]=team", "team:12"},
      {Login() + "&h[]=nosuch&g[]=nogroup&g[]=gamma&h[]=Gamma", "nosuch:2\r\nnogroup:10\r\ngamma:10\r\nGamma:2"},
      {Login() + "&h[]=my-.host&h[]=myhost", "my-.host:1\r\nmyhost:2"},
      {Login() + "&h[]=alpha&ip=10.1.1", "alpha:7"},
      {Login() + "&h[]=alpha&ip=256.1.1.1", "alpha:7"},
      {Login() + "&h[]=alpha&ip=", "alpha:7"},
      {Login() + "&h[]=delta&ip=10.0.0.9", "delta:0"},  // its initial address
      {Login() + "&h[]=retired&h[]=busy&g[]=web&h[]=broken", "retired:99\r\nbusy:5\r\nweb:9\r\nbroken:8"},
      {Login() + "&h[]=gamma", "gamma:5"},  // three updates counted, invalid addresses not
      {Login() + "&h[]=alpha", "alpha:0"},
      {Login("x") + "&h[]=alpha&g[]=team", "alpha:3\r\nteam:3"},
      {Login("u", "pw") + "&h[]=alpha", "alpha:4"},
      {Login("u", "p%20w") + "&h[]=alpha", "alpha:4"},  // escaped once only
      {Login("gone", "pw") + "&h[]=alpha&h[]=retired", "alpha:6\r\nretired:6"},
      {"pass=p%20w&h[]=alpha", "alpha:3"},
      {Login(), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(service.AnswerUpdate(c.query, "127.0.0.1"), c.answer) << c.query;
  EXPECT_EQ(service.AddressOf("gamma", false), "10.1.1.1");
  EXPECT_EQ(service.AddressOf("team", true), "127.0.0.1");
}

TEST(RefServerProtocol, HostListAnswerAndItsRefusals) {
  const RefService service(TestAccounts());
  const struct {
    std::string query;
    std::string_view answer;
  } cases[] = {
      {"email=u&pass=p%20w", "team,alpha|team,beta|#,gamma|delta|my-.host|"},
      {"email=x&pass=p%20w", "badauth:3"},
      {"username=u&pass=p%20w", "badauth:3"},  // the list asks for "email"
      {"email=u&pass=p", "badauth:4"},
      {"email=gone&pass=pw", "banned:6"},
      {"email=empty&pass=pw", "nohost:13"},
  };
  for (const auto& c : cases) EXPECT_EQ(service.AnswerHostList(c.query), c.answer) << c.query;
}

TEST(RefServerProtocol, DecodesTheProtectedQuery) {
  for (const std::string query : {"username=u&pass=p%20w&h[]=x", "a", "email=u&pass=p"}) {
    const std::string url = ProtectQuery(std::string(kUpdatePath) + "?" + query, kQueryKey);
    EXPECT_EQ(DecodeProtectedQuery(url.substr(url.find('?') + 1)), query);
  }
  EXPECT_EQ(DecodeProtectedQuery("username=u&pass=p"), "");
}

TEST(RefServerFaults, ParsedAndSwitchedByControlQueries) {
  const struct {
    std::string_view text;
    bool ok;
    FaultKind kind;
    std::uint64_t amount;
  } faults[] = {
      {"delay", true, FaultKind::Delay, 1000},         {"delay:250", true, FaultKind::Delay, 250},
      {"oversize", true, FaultKind::Oversize, 5242880}, {"reset:10", true, FaultKind::Reset, 10},
      {"stall", true, FaultKind::Stall, 0},            {"none", true, FaultKind::None, 0},
      {"close:3", false, FaultKind::None, 0},          {"delay:", false, FaultKind::None, 0},
      {"delay:-1", false, FaultKind::None, 0},         {"Garbage", false, FaultKind::None, 0},
  };
  for (const auto& s : faults) {
    Fault fault;
    EXPECT_EQ(ParseFault(s.text, fault), s.ok) << s.text;
    if (!s.ok) continue;
    EXPECT_EQ(fault.kind, s.kind) << s.text;
    EXPECT_EQ(fault.amount, s.amount) << s.text;
  }

  Fault active;
  bool ipChanged = false;
  std::string ip = "1.2.3.4", error;
  ASSERT_TRUE(ApplyControl("fault=close&count=2&path=/ip.php", active, ipChanged, ip, error)) << error;
  EXPECT_FALSE(ipChanged);
  EXPECT_EQ(TakeFault(active, kUpdatePath).kind, FaultKind::None);  // another path
  EXPECT_EQ(TakeFault(active, kAddressCheckPath).kind, FaultKind::Close);
  EXPECT_EQ(TakeFault(active, kAddressCheckPath).kind, FaultKind::Close);
  EXPECT_EQ(TakeFault(active, kAddressCheckPath).kind, FaultKind::None);  // used up

  ASSERT_TRUE(ApplyControl("fault=garbage&ip=1.1.1.%0A", active, ipChanged, ip, error));
  EXPECT_TRUE(ipChanged);
  EXPECT_EQ(ip, "1.1.1.\n");
  EXPECT_EQ(TakeFault(active, kHostListPath).kind, FaultKind::Garbage);
  EXPECT_EQ(TakeFault(active, kHostListPath).kind, FaultKind::Garbage);  // until switched off
  for (std::string_view refused : {"fault=melt", "count=2", "fault=close&count=0", "colour=red"}) {
    EXPECT_FALSE(ApplyControl(refused, active, ipChanged, ip, error)) << refused;
    EXPECT_EQ(active.kind, FaultKind::Garbage) << refused;  // a refused query changes nothing
  }
  ASSERT_TRUE(ApplyControl("fault=none", active, ipChanged, ip, error));
  EXPECT_EQ(TakeFault(active, kHostListPath).kind, FaultKind::None);
}

TEST(RefServerOptions, ListensOnLoopbackOnlyAndAlwaysStops) {
  const struct {
    std::vector<std::string> args;
    bool ok;
  } cases[] = {
      {{"--listen", "127.0.0.5:0", "--lifetime", "1"}, true},
      {{"--listen", "127.255.255.254:8245"}, true},
      {{"--listen", "0.0.0.0:8245"}, false},
      {{"--listen", "10.0.0.1:8245"}, false},
      {{"--listen", "128.0.0.1:8245"}, false},
      {{"--listen", "localhost:8245"}, false},
      {{"--listen", "127.0.0.1"}, false},
      {{"--listen", "127.0.0.1:65536"}, false},
      {{"--lifetime", "0"}, false},
      {{"--lifetime", "86401"}, false},
      {{"--fault-count", "2"}, false},
      {{"--fault", "delay:5", "--fault-count", "2", "--fault-path", "/ip.php"}, true},
      {{"--record"}, false},
  };
  for (const auto& c : cases) {
    Options options;
    std::string error;
    EXPECT_EQ(ParseOptions(c.args, options, error), c.ok) << c.args[0] << " " << error;
  }
  Options defaults;
  std::string error;
  ASSERT_TRUE(ParseOptions({}, defaults, error));
  EXPECT_EQ(defaults.lifetimeSeconds, 600);
}

// --- The binary, end to end ------------------------------------------------

constexpr const char* kServerAddress = "127.0.0.61";
constexpr const char* kClientAddress = "127.0.0.62";

// The built server as a child process on kServerAddress, stopped by SIGTERM
// when the object goes (and killed if it does not stop in time).
class ServerProcess {
 public:
  ServerProcess(const test::ScratchFolder& folder, std::vector<std::string> args) {
    portFile_ = (folder.Path() / "port").string();
    std::vector<std::string> all = {RAVO_REFSERVER_PATH, "--listen", std::string(kServerAddress) + ":0",
                                    "--port-file", portFile_};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (folder.Path() / "server.log").string();
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 100 && pid_ > 0 && port_ == 0; ++i) {
      const std::string text = test::ReadFile(portFile_);
      if (!text.empty()) port_ = std::stoi(text);
      else std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~ServerProcess() { Stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int Port() const { return port_; }
  const std::string& PortFile() const { return portFile_; }
  // Waits up to timeout for the process to end by itself; its exit status, or
  // -1 while it runs.
  int WaitExit(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (std::chrono::steady_clock::now() >= end) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitStatus_;
  }
  int Stop() {
    if (pid_ <= 0) return exitStatus_;
    kill(pid_, SIGTERM);
    if (WaitExit(std::chrono::seconds(5)) < 0 && pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    return exitStatus_;
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  int exitStatus_ = -1;
  std::string portFile_;
};

struct Received {
  std::string data;
  int error = 0;  // errno of the read that ended it; 0 for a clean close
};

// A blocking socket from kClientAddress with the request sent; every later
// wait on it is bounded by the socket timeouts.  -1 (errno set) on failure.
int SendRequest(int port, const std::string& target, const std::string& headers,
                std::chrono::milliseconds timeout) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  timeval tv{};
  tv.tv_sec = static_cast<long>(timeout.count() / 1000);
  tv.tv_usec = static_cast<long>(timeout.count() % 1000 * 1000);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in local{}, remote{};
  local.sin_family = remote.sin_family = AF_INET;
  inet_pton(AF_INET, kClientAddress, &local.sin_addr);
  inet_pton(AF_INET, kServerAddress, &remote.sin_addr);
  remote.sin_port = htons(static_cast<std::uint16_t>(port));
  const std::string request = "GET " + target + " HTTP/1.0\r\n" + headers + "\r\n";
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 ||
      send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// Reads until the server closes, resets or the timeout passes; closes fd.
Received ReadAll(int fd) {
  Received received;
  char buffer[65536];
  while (true) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) {
      if (got < 0) received.error = errno;
      break;
    }
    received.data.append(buffer, static_cast<std::size_t>(got));
  }
  close(fd);
  return received;
}

Received Exchange(int port, const std::string& target, const std::string& headers = "") {
  const int fd = SendRequest(port, target, headers, std::chrono::seconds(5));
  if (fd < 0) return Received{"", errno};
  return ReadAll(fd);
}

std::string Body(const Received& received) {
  const auto end = received.data.find("\r\n\r\n");
  return end == std::string::npos ? "<no head>" : received.data.substr(end + 4);
}

std::string ProtectedTarget(std::string_view path, const std::string& query) {
  return ProtectQuery(std::string(path) + "?" + query, kQueryKey);
}

class RefServerEndToEnd : public ::testing::Test {
 protected:
  RefServerEndToEnd() : folder(::testing::UnitTest::GetInstance()->current_test_info()->name()) {
    test::WriteFile(folder.Path() / "accounts", std::string(kAccountsText));
  }
  std::string Accounts() const { return (folder.Path() / "accounts").string(); }
  std::string RecordFile() const { return (folder.Path() / "record").string(); }

  test::ScratchFolder folder;
};

TEST_F(RefServerEndToEnd, AnswersAddressCheckHostListAndProtectedUpdates) {
  ServerProcess server(folder, {"--accounts", Accounts(), "--lifetime", "30"});
  ASSERT_GT(server.Port(), 0) << test::ReadFile(folder.Path() / "server.log");

  const Received address = Exchange(server.Port(), std::string(kAddressCheckPath));
  EXPECT_EQ(address.data,
            "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 10\r\nConnection: close\r\n\r\n"
            "127.0.0.62");
  EXPECT_EQ(Body(Exchange(server.Port(), "/__control?ip=1.2.3.4")), "OK");
  EXPECT_EQ(Body(Exchange(server.Port(), std::string(kAddressCheckPath))), "1.2.3.4");

  EXPECT_EQ(Body(Exchange(server.Port(), ProtectedTarget(kHostListPath, "email=u&pass=p%20w"))),
            "team,alpha|team,beta|#,gamma|delta|my-.host|");
  const std::string update = ProtectedTarget(kUpdatePath, Login() + "&h[]=gamma&g[]=team");
  EXPECT_EQ(Body(Exchange(server.Port(), update)), "gamma:1\r\nteam:11");
  EXPECT_EQ(Body(Exchange(server.Port(), update)), "gamma:0\r\nteam:12");
  // An unprotected query is not read: no login.
  EXPECT_EQ(Body(Exchange(server.Port(), std::string(kUpdatePath) + "?" + Login() + "&h[]=gamma")), "");
  EXPECT_EQ(server.Stop(), 0);  // SIGTERM stops it cleanly
}

TEST_F(RefServerEndToEnd, FaultsSetAtStartAndSwitchedWhileRunning) {
  ServerProcess server(folder, {"--fault", "close", "--fault-count", "1", "--lifetime", "30"});
  ASSERT_GT(server.Port(), 0) << test::ReadFile(folder.Path() / "server.log");
  const std::string ip(kAddressCheckPath);
  const Received closed = Exchange(server.Port(), ip);
  EXPECT_EQ(closed.data, "");
  EXPECT_EQ(closed.error, 0);
  EXPECT_EQ(Body(Exchange(server.Port(), ip)), "127.0.0.62");

  EXPECT_EQ(Body(Exchange(server.Port(), "/__control?fault=garbage&path=/ip.php")), "OK");
  EXPECT_NE(Exchange(server.Port(), ip).data.rfind("HTTP/", 0), 0u);
  EXPECT_EQ(Body(Exchange(server.Port(), ProtectedTarget(kHostListPath, "email=x"))), "badauth:3");

  EXPECT_EQ(Body(Exchange(server.Port(), "/__control?fault=oversize:300000")), "OK");
  const Received oversize = Exchange(server.Port(), ip);
  EXPECT_NE(oversize.data.find("Content-Length: 300000\r\n"), std::string::npos);
  EXPECT_EQ(Body(oversize).size(), 300000u);

  EXPECT_EQ(Body(Exchange(server.Port(), "/__control?fault=reset:2000")), "OK");
  const Received reset = Exchange(server.Port(), ip);
  EXPECT_EQ(reset.error, ECONNRESET);
  EXPECT_LT(Body(reset).size(), 2000u + 64 * 1024);

  EXPECT_EQ(Body(Exchange(server.Port(), "/__control?fault=delay:300&count=1")), "OK");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Body(Exchange(server.Port(), ip)), "127.0.0.62");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));

  // A stalled client does not hold up the others: one thread, several clients.
  EXPECT_EQ(Body(Exchange(server.Port(), "/__control?fault=stall&path=/list-hosts.php")), "OK");
  const int stalled = SendRequest(server.Port(), std::string(kHostListPath), "", std::chrono::milliseconds(500));
  ASSERT_GE(stalled, 0);
  EXPECT_EQ(Body(Exchange(server.Port(), ip)), "127.0.0.62");
  const Received nothing = ReadAll(stalled);
  EXPECT_EQ(nothing.data, "");
  EXPECT_EQ(nothing.error, EAGAIN);
  EXPECT_EQ(Exchange(server.Port(), "/__control?fault=melt").data.rfind("HTTP/1.0 400 ", 0), 0u);
}

TEST_F(RefServerEndToEnd, RecordsEachRequestWithItsQueryDecoded) {
  ServerProcess server(folder, {"--accounts", Accounts(), "--record", RecordFile(), "--lifetime", "30"});
  ASSERT_GT(server.Port(), 0) << test::ReadFile(folder.Path() / "server.log");
  const std::string headers = "User-Agent: Ravo v2.1.5\r\nPragma: no-cache\r\nAccept: " + std::string(kAccept) +
                              "\r\nAuthorization: Basic dTpzZWNyZXQ=\r\n";
  Exchange(server.Port(), ProtectedTarget(kUpdatePath, Login() + "&h[]=gamma"), headers);
  Exchange(server.Port(), std::string(kAddressCheckPath), "User-Agent: Ravo Service v2.1.5\r\n");
  EXPECT_EQ(test::ReadFile(RecordFile()),
            "GET /ravoupdate.php username=u&pass=p%20w&h[]=gamma\n"
            "  User-Agent: Ravo v2.1.5\n"
            "  Pragma: no-cache\n"
            "  Accept: " + std::string(kAccept) + "\n"
            "  Authorization: (hidden)\n"
            "GET /ip.php\n"
            "  User-Agent: Ravo Service v2.1.5\n");
}

TEST_F(RefServerEndToEnd, StopsByItselfWhenItsLifetimeEnds) {
  ServerProcess server(folder, {"--lifetime", "1"});
  ASSERT_GT(server.Port(), 0) << test::ReadFile(folder.Path() / "server.log");
  EXPECT_EQ(server.WaitExit(std::chrono::seconds(5)), 0);
  EXPECT_FALSE(std::filesystem::exists(server.PortFile()));
}

}  // namespace
}  // namespace ravo::refserver

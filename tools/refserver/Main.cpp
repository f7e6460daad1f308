// ravo_refserver: the service's side of the protocol on a loopback address,
// for the tests and the demo.  Usage and file formats: README.md beside this.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Accounts.h"
#include "Options.h"
#include "Protocol.h"
#include "Server.h"

namespace {

// The write end of the stop pipe; the signal handler can only reach it
// through a file-level variable.
int stopWriteFd = -1;

void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(stopWriteFd, &byte, 1);
}

// Written whole under a temporary name and renamed, so that a test polling
// for the file never reads half a number.
bool WritePortFile(const std::string& path, std::uint16_t port) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << port << "\n";
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ravo::refserver;
  Options options;
  std::string error;
  if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "ravo_refserver: %s\n%s", error.c_str(), Usage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(Usage().c_str(), stdout);
    return 0;
  }
  Accounts accounts;
  if (!options.accountsPath.empty() && !LoadAccounts(options.accountsPath, accounts, error)) {
    std::fprintf(stderr, "ravo_refserver: %s\n", error.c_str());
    return 2;
  }

  int stopPipe[2];
  if (pipe2(stopPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    std::perror("ravo_refserver: pipe");
    return 1;
  }
  stopWriteFd = stopPipe[1];
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  RefService service(std::move(accounts));
  Server server(options, service);
  if (!server.Open(error)) {
    std::fprintf(stderr, "ravo_refserver: %s\n", error.c_str());
    return 1;
  }
  if (!options.portFile.empty() && !WritePortFile(options.portFile, server.Port())) {
    std::fprintf(stderr, "ravo_refserver: cannot write %s\n", options.portFile.c_str());
    return 1;
  }
  std::fprintf(stderr, "ravo_refserver: listening on %s:%u for %d s\n", options.listenAddress.c_str(),
               static_cast<unsigned>(server.Port()), options.lifetimeSeconds);
  server.Run(stopPipe[0]);
  if (!options.portFile.empty()) std::remove(options.portFile.c_str());
  return 0;
}

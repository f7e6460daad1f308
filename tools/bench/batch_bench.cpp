// Benchmark: build and send the update batches for many checked hosts through
// the real engine and HTTP client against a loopback server that answers every
// host, and report the time and the number of requests.
//   batch_bench [hosts] (default 10000)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "core/Codecs.h"
#include "core/Constants.h"
#include "engine/RavoGlobals.h"
#include "network/Ravo.h"
#include "platform/Loop.h"

using namespace ravo;

namespace {

class NullView : public TRavoView {
 public:
  void ConsoleAdd(const std::string&) override {}
  void RowsChanged() override {}
  void SetEditButtonsEnabled(bool) override {}
  void CloseWindow() override {}
  void ShowRetirementMessage(const std::string&) override {}
  void SetSmoothScrolling(bool) override {}
};

// Answers every update request with one "name:1" line per host of the request.
class AnsweringServer {
 public:
  AnsweringServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000001);
    const int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 16) != 0) {
      std::perror("bind");
      std::exit(1);
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~AnsweringServer() {
    stop_ = true;
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }
  int Port() const { return port_; }
  int Requests() const { return requests_; }

 private:
  void Serve() {
    while (!stop_) {
      const int connection = accept(listener_, nullptr, nullptr);
      if (connection < 0) return;
      timeval timeout{5, 0};
      setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = read(connection, buffer, sizeof buffer);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
      }
      ++requests_;
      const auto start = request.find("request=") + 8;
      const auto end = request.find(' ', start);
      const std::string query = UnprotectQuery(request.substr(start, end - start), kQueryKey);
      std::string body;
      for (std::size_t at = query.find("h[]="); at != std::string::npos; at = query.find("h[]=", at + 1)) {
        const auto stop = query.find('&', at);
        body += query.substr(at + 4, stop == std::string::npos ? std::string::npos : stop - at - 4) + ":1\r\n";
      }
      const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
      (void)!write(connection, reply.data(), reply.size());
      close(connection);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  const int hosts = argc > 1 ? std::atoi(argv[1]) : 10000;
  AnsweringServer server;
  TGlobals globals(RegistryRoot::CurrentUser);
  globals.Registry.WriteString("UpdateServer", "127.0.0.1");
  globals.SetUsername("benchuser");
  globals.SetPassword("bench password");
  EngineSetup setup;
  setup.logFolder = "/tmp/";
  setup.fallbackLogFolder = "/tmp/";
  setup.startGet = [&](HttpClient& client) {
    // The update port of the URL becomes the server's ephemeral port.
    const auto at = client.URL.find(":8245/");
    if (at != std::string::npos) client.URL.replace(at + 1, 4, std::to_string(server.Port()));
    client.GetASync();
  };
  TRavoGlobals engine(globals, std::move(setup));
  NullView view;
  TRavo ravo(engine, view);
  TUpdateList items;
  for (int i = 0; i < hosts; ++i) {
    auto item = std::make_unique<TUpdateItem>();
    item->Name = "host" + std::to_string(i) + ".example-ddns.net";
    THostRow& row = ravo.AddItemRow(std::move(item));
    ravo.SetRowChecked(row, true);
    items.push_back(row.Item.get());
  }

  const auto started = std::chrono::steady_clock::now();
  const std::clock_t cpuStarted = std::clock();
  engine.RunUpdate(items, false);
  const auto deadline = started + std::chrono::seconds(120);
  while (engine.UpdateClient.Busy() && std::chrono::steady_clock::now() < deadline) {
    Loop::ProcessMessages();
    Loop::Sleep(1);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Most of the wall time is the wait loop's 100 ms sleeps before each batch;
  // the processor time is what building, sending and reading costs.
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStarted) / CLOCKS_PER_SEC;
  int updated = 0;
  for (auto& row : ravo.Rows()) updated += row.Item && row.StateImage == 3;
  std::printf("hosts %d  requests %d  updated %d  wall %.3f s  processor %.3f s (both threads)\n", hosts,
              server.Requests(), updated, seconds, cpuSeconds);
  return updated == hosts ? 0 : 1;
}

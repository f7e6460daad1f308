// A scripted TCP server on a loopback address for tests: it accepts
// connections on a thread of its own, records each request (the bytes up to the
// end of the header) and lets a handler answer.  The destructor stops it and
// joins every thread; every wait inside is bounded.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ravo::test {

using namespace std::chrono_literals;

class LoopbackServer;

// One accepted connection, as the handler sees it.
class LoopbackConnection {
 public:
  // The request as received: up to and including the empty line.
  const std::string& Request() const { return request_; }
  // Sends all the bytes; false when the peer is gone or the server stops.
  bool Send(std::string_view bytes);
  // Sleeps; returns early (false) when the server stops.
  bool Pause(std::chrono::milliseconds duration);
  // Holds the connection open without answering until the server stops.
  void Stall(std::chrono::milliseconds bound = 10s) { Pause(bound); }
  // Ends the connection with a reset instead of an orderly close.
  void Reset();
  // Orderly close (also done when the handler returns).
  void Close();
  bool Stopping() const;

  LoopbackConnection(const LoopbackConnection&) = delete;
  LoopbackConnection& operator=(const LoopbackConnection&) = delete;
  ~LoopbackConnection();

 private:
  friend class LoopbackServer;
  LoopbackConnection(LoopbackServer& server, std::intptr_t socket) : server_(server), socket_(socket) {}
  LoopbackServer& server_;
  std::intptr_t socket_;
  std::string request_;
};

class LoopbackServer {
 public:
  using Handler = std::function<void(LoopbackConnection&)>;

  // Listens on address:port (port 0: an ephemeral one).
  explicit LoopbackServer(Handler handler, std::string address = "127.0.0.1", std::uint16_t port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Listening() const { return listener_ != -1; }
  const std::string& Address() const { return address_; }
  std::uint16_t Port() const { return port_; }
  // "http://address:port" followed by the path and query.
  std::string Url(std::string_view pathQuery = "/") const;

  // Replaces the behaviour for the connections accepted from now on.
  void SetHandler(Handler handler);

  // Waits until count requests have been received; false after the timeout.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout = 5s) const;
  std::size_t RequestCount() const;
  std::vector<std::string> Requests() const;
  // The request of the index-th connection (0 first); empty when none came.
  std::string Request(std::size_t index = 0) const;
  // The client's address of the index-th connection ("a.b.c.d").
  std::string PeerAddress(std::size_t index = 0) const;

 private:
  friend class LoopbackConnection;
  void AcceptLoop();
  void Serve(std::intptr_t socket, const std::string& peer);

  std::string address_;
  std::uint16_t port_ = 0;
  std::intptr_t listener_ = -1;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Handler handler_;
  std::vector<std::string> requests_;
  std::vector<std::string> peers_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

// Ready-made behaviours.
std::string HttpAnswer(std::string_view body, int status = 200, bool withLength = true);
LoopbackServer::Handler Reply(std::string bytes);
LoopbackServer::Handler ReplyAfter(std::chrono::milliseconds delay, std::string bytes);
// The answer computed from the request text.
LoopbackServer::Handler Respond(std::function<std::string(const std::string& request)> answer);
LoopbackServer::Handler StallForever();
LoopbackServer::Handler CloseWithoutAnswer();
// Sends the bytes, then resets the connection.
LoopbackServer::Handler ResetAfter(std::string bytes);
// A 200 answer without a length followed by that many body bytes (or until
// the client goes away).
LoopbackServer::Handler HugeBody(std::size_t bytes);

// A port on the address where nothing listens: connecting is refused.
std::uint16_t UnusedPort(const std::string& address = "127.0.0.1");

// A listener whose backlog is full and which never accepts: a new connection
// to it stays pending (its handshake is dropped).
class FullBacklogListener {
 public:
  explicit FullBacklogListener(const std::string& address = "127.0.0.1");
  ~FullBacklogListener();
  FullBacklogListener(const FullBacklogListener&) = delete;
  FullBacklogListener& operator=(const FullBacklogListener&) = delete;
  std::uint16_t Port() const { return port_; }
  // True when a probe connection indeed stays pending, so a test may rely on it.
  bool Holds() const { return holds_; }

 private:
  std::intptr_t listener_ = -1;
  std::vector<std::intptr_t> fillers_;
  std::uint16_t port_ = 0;
  bool holds_ = false;
};

// Runs the message loop until the predicate holds or the timeout passes;
// returns the predicate's last value.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);
// Runs the message loop for the duration.
void PumpFor(std::chrono::milliseconds duration);

}  // namespace ravo::test

// The reference server's single-threaded poll() loop: accepts loopback
// connections, reads one request head from each, answers it (or misbehaves
// as the active fault says) and closes.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <list>
#include <string>

#include "Faults.h"
#include "Http.h"
#include "Options.h"
#include "Protocol.h"

namespace ravo::refserver {

class Server {
 public:
  Server(const Options& options, RefService& service);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds, listens and opens the record file.
  bool Open(std::string& error);
  std::uint16_t Port() const { return port_; }
  // Serves until the lifetime ends or stopFd becomes readable.
  void Run(int stopFd);

 private:
  using Clock = std::chrono::steady_clock;
  enum class Phase { Reading, Waiting, Writing, Stalled, Resetting };
  struct Connection {
    int fd = -1;
    std::string peer;
    Phase phase = Phase::Reading;
    std::string in;
    std::string out;
    std::size_t sent = 0;
    std::uint64_t fillerLeft = 0;  // body bytes still to stream after out
    bool resetAtEnd = false;
    Clock::time_point wakeAt;    // Waiting and Resetting: when to go on
    Clock::time_point deadline;  // the connection is dropped then
  };

  void Accept();
  void ReadFrom(Connection& connection);
  void WriteTo(Connection& connection);
  void HandleHead(Connection& connection, const RequestHead& head);
  void Record(const std::string& entry);
  void Close(Connection& connection, bool reset);

  const Options& options_;
  RefService& service_;
  Fault fault_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::ofstream record_;
  std::list<Connection> connections_;
  Clock::time_point end_;
};

}  // namespace ravo::refserver

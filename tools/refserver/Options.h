// The reference server's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Faults.h"

namespace ravo::refserver {

struct Options {
  std::string listenAddress = "127.0.0.1";
  std::uint16_t port = 8245;
  std::string accountsPath;
  std::string addressAnswer;  // empty: answer the caller's address
  std::string recordPath;
  std::string portFile;
  Fault fault;
  int lifetimeSeconds = 600;
  bool help = false;
};

inline constexpr int kMaxLifetimeSeconds = 86400;

// The arguments after the program name.  Refuses listen addresses outside
// 127.0.0.0/8: the server is for tests and demos on this machine only.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error);
std::string Usage();

}  // namespace ravo::refserver

#include "Options.h"

#include "Protocol.h"

namespace ravo::refserver {

namespace {

bool ParseInteger(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text.size() > 10) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high;
}

bool ParseListen(const std::string& text, Options& out, std::string& error) {
  const auto colon = text.rfind(':');
  long port = 0;
  if (colon == std::string::npos || !ParseInteger(text.substr(colon + 1), 0, 65535, port)) {
    error = "--listen needs ADDRESS:PORT";
    return false;
  }
  const std::string address = text.substr(0, colon);
  if (!IsDottedIPv4(address)) {
    error = "--listen needs a dotted IPv4 address";
    return false;
  }
  if (address.rfind("127.", 0) != 0) {
    error = "--listen refuses " + address + ": only loopback addresses (127.0.0.0/8)";
    return false;
  }
  out.listenAddress = address;
  out.port = static_cast<std::uint16_t>(port);
  return true;
}

}  // namespace

std::string Usage() {
  return "usage: ravo_refserver [--listen 127.x.y.z:PORT] [--accounts FILE] [--ip ADDRESS]\n"
         "                      [--record FILE] [--port-file FILE] [--lifetime SECONDS]\n"
         "                      [--fault FAULT [--fault-count N] [--fault-path PATH]]\n"
         "  defaults: --listen 127.0.0.1:8245 --lifetime 600\n"
         "  FAULT: none, delay[:MS], stall, close, garbage, oversize[:BYTES], reset[:BYTES]\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
  Options parsed;
  long faultCount = -1;
  bool faultPathGiven = false;
  std::string faultPath;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      parsed.help = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = name.rfind("--", 0) == 0 ? name + " needs a value" : "unknown argument " + name;
      return false;
    }
    const std::string& value = args[++i];
    long number = 0;
    if (name == "--listen") {
      if (!ParseListen(value, parsed, error)) return false;
    } else if (name == "--accounts") {
      parsed.accountsPath = value;
    } else if (name == "--ip") {
      parsed.addressAnswer = value;
    } else if (name == "--record") {
      parsed.recordPath = value;
    } else if (name == "--port-file") {
      parsed.portFile = value;
    } else if (name == "--lifetime") {
      if (!ParseInteger(value, 1, kMaxLifetimeSeconds, number)) {
        error = "--lifetime needs 1 to " + std::to_string(kMaxLifetimeSeconds) + " seconds";
        return false;
      }
      parsed.lifetimeSeconds = static_cast<int>(number);
    } else if (name == "--fault") {
      if (!ParseFault(value, parsed.fault)) {
        error = "unknown fault " + value;
        return false;
      }
    } else if (name == "--fault-count") {
      if (!ParseInteger(value, 1, 1000000000, faultCount)) {
        error = "--fault-count needs a positive number";
        return false;
      }
    } else if (name == "--fault-path") {
      faultPath = value;
      faultPathGiven = true;
    } else {
      error = "unknown argument " + name;
      return false;
    }
  }
  if ((faultCount > 0 || faultPathGiven) && parsed.fault.kind == FaultKind::None) {
    error = "--fault-count and --fault-path go with --fault";
    return false;
  }
  parsed.fault.remaining = faultCount;
  parsed.fault.path = faultPath;
  out = std::move(parsed);
  return true;
}

}  // namespace ravo::refserver

// Ways the reference server can misbehave on purpose, and the control request
// that switches them while it runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ravo::refserver {

enum class FaultKind { None, Delay, Stall, Close, Garbage, Oversize, Reset };

struct Fault {
  FaultKind kind = FaultKind::None;
  // Delay: milliseconds; Oversize: body bytes; Reset: body bytes before the reset.
  std::uint64_t amount = 0;
  // Requests still affected; -1 for every request.
  long remaining = -1;
  // Only requests of this path; empty for every path.
  std::string path;
};

inline constexpr std::string_view kControlPath = "/__control";

// "none", "delay[:MS]", "stall", "close", "garbage", "oversize[:BYTES]",
// "reset[:BYTES]" into kind and amount (defaults where the amount is left out).
bool ParseFault(std::string_view text, Fault& fault);

// The fault that applies to a request of this path, taking one use of a
// counted fault; kind None when none applies.
Fault TakeFault(Fault& active, std::string_view path);

// A control query ("fault=...&count=N&path=...&ip=..."): changes the active
// fault and the address answer.  ipChanged tells whether "ip" was given (its
// value percent-decoded, empty meaning the caller's address).  Returns false
// with an error text for a query it cannot apply; then nothing is changed.
bool ApplyControl(std::string_view query, Fault& active, bool& ipChanged, std::string& ip,
                  std::string& error);

}  // namespace ravo::refserver

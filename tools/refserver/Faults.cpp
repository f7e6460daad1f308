#include "Faults.h"

#include "Accounts.h"
#include "Protocol.h"

namespace ravo::refserver {

namespace {

constexpr std::uint64_t kDefaultDelayMs = 1000;
constexpr std::uint64_t kDefaultOversizeBytes = 5 * 1024 * 1024;
constexpr std::uint64_t kDefaultResetBytes = 1000;
// Delays past the server's lifetime limit make no sense; they are refused.
constexpr std::uint64_t kMaxDelayMs = 86400000;
constexpr std::uint64_t kMaxBodyBytes = std::uint64_t{1} << 36;

bool ParseAmount(std::string_view text, std::uint64_t high, std::uint64_t& value) {
  if (text.empty() || text.size() > 12) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value <= high;
}

}  // namespace

bool ParseFault(std::string_view text, Fault& fault) {
  const auto colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  const bool hasAmount = colon != std::string_view::npos;
  const std::string_view amountText = hasAmount ? text.substr(colon + 1) : std::string_view();
  struct Entry {
    std::string_view name;
    FaultKind kind;
    std::uint64_t defaultAmount;
    std::uint64_t maxAmount;  // 0: takes no amount
  };
  static constexpr Entry kEntries[] = {
      {"none", FaultKind::None, 0, 0},
      {"delay", FaultKind::Delay, kDefaultDelayMs, kMaxDelayMs},
      {"stall", FaultKind::Stall, 0, 0},
      {"close", FaultKind::Close, 0, 0},
      {"garbage", FaultKind::Garbage, 0, 0},
      {"oversize", FaultKind::Oversize, kDefaultOversizeBytes, kMaxBodyBytes},
      {"reset", FaultKind::Reset, kDefaultResetBytes, kMaxBodyBytes},
  };
  for (const auto& entry : kEntries) {
    if (entry.name != name) continue;
    std::uint64_t amount = entry.defaultAmount;
    if (hasAmount && (entry.maxAmount == 0 || !ParseAmount(amountText, entry.maxAmount, amount)))
      return false;
    fault.kind = entry.kind;
    fault.amount = amount;
    return true;
  }
  return false;
}

Fault TakeFault(Fault& active, std::string_view path) {
  if (active.kind == FaultKind::None || active.remaining == 0) return {};
  if (!active.path.empty() && active.path != path) return {};
  Fault taken = active;
  if (active.remaining > 0 && --active.remaining == 0) active = Fault{};
  return taken;
}

bool ApplyControl(std::string_view query, Fault& active, bool& ipChanged, std::string& ip,
                  std::string& error) {
  Fault fault;
  bool haveFault = false, haveCount = false, havePath = false, haveIp = false;
  std::string newIp;
  for (const auto& [key, rawValue] : SplitQuery(query)) {
    const std::string value = UnescapePercent(rawValue);
    if (key == "fault") {
      if (!ParseFault(value, fault)) {
        error = "unknown fault \"" + value + "\"";
        return false;
      }
      haveFault = true;
    } else if (key == "count") {
      std::uint64_t count = 0;
      if (!ParseAmount(value, 1000000000, count) || count == 0) {
        error = "count must be a positive number";
        return false;
      }
      fault.remaining = static_cast<long>(count);
      haveCount = true;
    } else if (key == "path") {
      fault.path = value;
      havePath = true;
    } else if (key == "ip") {
      newIp = value;
      haveIp = true;
    } else {
      error = "unknown control key \"" + key + "\"";
      return false;
    }
  }
  if ((haveCount || havePath) && !haveFault) {
    error = "count and path go with fault";
    return false;
  }
  if (haveFault) active = fault.kind == FaultKind::None ? Fault{} : fault;
  ipChanged = haveIp;
  if (haveIp) ip = std::move(newIp);
  return true;
}

}  // namespace ravo::refserver

#include "platform/Adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <memory>

namespace ravo {

namespace {

struct InterfaceListFree {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};
using InterfaceList = std::unique_ptr<ifaddrs, InterfaceListFree>;

InterfaceList ReadInterfaces() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return InterfaceList();
  return InterfaceList(list);
}

// The IPv4 addresses of every interface, in the order the kernel lists them.
std::vector<AdapterAddress> InterfaceAddresses() {
  std::vector<AdapterAddress> result;
  const InterfaceList list = ReadInterfaces();
  for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) continue;
    result.push_back({text, entry->ifa_name ? entry->ifa_name : ""});
  }
  return result;
}

}  // namespace

// Linux has no IP helper library, but the engine's rules (adapter positions,
// the connection adapter, the internal-address test) deserve a realistic list
// in the native tests, so the query is served by getifaddrs with the
// interface name as the description.  It lists only interfaces that carry an
// IPv4 address: unlike the Windows query there is no "0.0.0.0" entry for an
// interface without one.  The query counts as available when the interface
// list can be read at all.
AdapterQuery::AdapterQuery() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return;
  freeifaddrs(list);
  function_ = reinterpret_cast<void*>(&InterfaceAddresses);
}

AdapterQuery::~AdapterQuery() = default;

std::vector<AdapterAddress> AdapterQuery::Query() const {
  if (!function_) return {};
  return reinterpret_cast<std::vector<AdapterAddress> (*)()>(function_)();
}

std::vector<std::string> SocketLayerAddresses() {
  std::vector<std::string> result;
  for (auto& entry : InterfaceAddresses()) result.push_back(std::move(entry.address));
  return result;
}

}  // namespace ravo

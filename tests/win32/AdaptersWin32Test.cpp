// The adapter query through the real IP helper library under Wine, checked
// against the system's other adapter listing.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/Adapters.h"

namespace ravo {
namespace {

// The IPv4 unicast addresses of the adapters other than loopback, as the
// newer listing reports them.
std::set<std::string> AddressesOfNewerListing() {
  std::set<std::string> result;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG answer = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && answer == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.assign(size, 0);
    answer = GetAdaptersAddresses(AF_INET, 0, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                                  &size);
  }
  if (answer != NO_ERROR) return result;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
       adapter = adapter->Next) {
    if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
    for (auto* address = adapter->FirstUnicastAddress; address; address = address->Next) {
      const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address->Address.lpSockaddr);
      char text[INET_ADDRSTRLEN] = {};
      if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text)) result.insert(text);
    }
  }
  return result;
}

TEST(AdaptersWin32, QueryListsEveryAddressOfEveryAdapter) {
  AdapterQuery query;
  ASSERT_TRUE(query.Available());
  const auto entries = query.Query();
  ASSERT_FALSE(entries.empty());

  std::set<std::string> queried;
  for (const auto& entry : entries) {
    EXPECT_FALSE(entry.description.empty()) << entry.address;
    if (entry.address != "0.0.0.0") queried.insert(entry.address);
  }
  EXPECT_EQ(queried, AddressesOfNewerListing());
}

TEST(AdaptersWin32, QueryIsRepeatable) {
  AdapterQuery first;
  const auto entries = first.Query();
  {
    // A second user of the library must not take it from the first.
    AdapterQuery second;
    EXPECT_TRUE(second.Available());
  }
  const auto again = first.Query();
  ASSERT_EQ(again.size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(again[i].address, entries[i].address);
    EXPECT_EQ(again[i].description, entries[i].description);
  }
}

}  // namespace
}  // namespace ravo

// The computer's own addresses through the real system of each build: the
// adapter query and the socket layer's list, and the engine's entries built
// from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Adapters.h"
#include "support/Fixtures.h"

namespace ravo {
namespace {

// Four decimal numbers of 0 to 255 separated by dots, as the lists hold them.
bool DottedIPv4(const std::string& text) {
  int parts = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(text.find('.', start), text.size());
    const std::string part = text.substr(start, end - start);
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoi(part) > 255) {
      return false;
    }
    ++parts;
    if (end == text.size()) break;
    start = end + 1;
  }
  return parts == 4;
}

TEST(Adapters, SocketLayerListsDottedAddresses) {
  const auto addresses = SocketLayerAddresses();
  ASSERT_FALSE(addresses.empty());
  for (const auto& address : addresses) EXPECT_TRUE(DottedIPv4(address)) << address;
}

TEST(Adapters, QueryListsDottedAddressesWithDescriptions) {
  AdapterQuery query;
  if (!query.Available()) GTEST_SKIP() << "no adapter query on this system";
  const auto entries = query.Query();
  ASSERT_FALSE(entries.empty());
  for (const auto& entry : entries) {
    EXPECT_TRUE(DottedIPv4(entry.address)) << entry.address;
    EXPECT_FALSE(entry.description.empty()) << entry.address;
    EXPECT_EQ(entry.description.find('\0'), std::string::npos);
  }
}

#ifndef _WIN32
// Natively both lists come from the interface list: loopback is always there,
// the query names the interface, and the two lists agree in content and order.
TEST(Adapters, NativeListsHoldLoopbackInInterfaceOrder) {
  AdapterQuery query;
  ASSERT_TRUE(query.Available());
  const auto entries = query.Query();
  const auto loopback = std::find_if(entries.begin(), entries.end(), [](const AdapterAddress& entry) {
    return entry.address == "127.0.0.1";
  });
  ASSERT_NE(loopback, entries.end());
  EXPECT_EQ(loopback->description, "lo");

  std::vector<std::string> queried;
  for (const auto& entry : entries) queried.push_back(entry.address);
  EXPECT_EQ(queried, SocketLayerAddresses());
}
#endif

// The engine's list over the real system: plain entries are the addresses,
// described entries the same addresses with " | " and a description.
class AdapterEntries : public test::EngineTest {};

TEST_F(AdapterEntries, DescribedEntriesExtendThePlainOnes) {
  const std::vector<std::string> plain = engine->AdapterList(false);
  const std::vector<std::string> described = engine->AdapterList(true);
  ASSERT_FALSE(plain.empty());
  ASSERT_EQ(plain.size(), described.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    EXPECT_TRUE(DottedIPv4(plain[i])) << plain[i];
    const std::string prefix = plain[i] + " | ";
    ASSERT_EQ(described[i].compare(0, prefix.size(), prefix), 0) << described[i];
    EXPECT_GT(described[i].size(), prefix.size()) << described[i];
    if (!engine->AdapterApiAvailable()) {
      EXPECT_EQ(described[i], plain[i] + " | Unidentified");
    }
  }
}

}  // namespace
}  // namespace ravo

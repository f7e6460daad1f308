// The service's answers as pure functions of the request and the server's
// state: the address check, the host list and the update.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Accounts.h"

namespace ravo::refserver {

using QueryPairs = std::vector<std::pair<std::string, std::string>>;

// "a=1&b=2" into its pairs, in order; a part without "=" has an empty value.
QueryPairs SplitQuery(std::string_view query);
// The original query of a protected URL query ("request=..."); empty when the
// query carries no "request=" parameter.
std::string DecodeProtectedQuery(std::string_view urlQuery);
bool IsDottedIPv4(std::string_view text);

// The service side of one account database: answers and the addresses the
// hosts and groups hold.
class RefService {
 public:
  explicit RefService(Accounts accounts);

  // "/ip.php": the configured address, or the caller's when none is set.
  std::string AnswerAddress(std::string_view caller) const;
  void SetAddressAnswer(std::string address) { addressAnswer_ = std::move(address); }

  // "/list-hosts.php" and "/ravoupdate.php", for the decoded query.
  std::string AnswerHostList(std::string_view query) const;
  std::string AnswerUpdate(std::string_view query, std::string_view caller);

  // The address a host (isGroup false) or group holds; empty when none.
  std::string AddressOf(std::string_view name, bool isGroup) const;

 private:
  // 0 for a good login, else the result code that refuses it (3, 4, 6).
  int LoginCode(const Account* account, std::string_view password) const;

  Accounts accounts_;
  std::string addressAnswer_;
  // Keyed by "h" or "g" followed by the name.
  std::map<std::string, std::string> addresses_;
  std::map<std::string, int> updateCounts_;
};

}  // namespace ravo::refserver

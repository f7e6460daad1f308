// The reference server's accounts file: accounts, their host lists, forced
// result codes, initial addresses and the per-name update limit.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ravo::refserver {

struct Account {
  std::string user;
  std::string password;
  bool banned = false;
  // The host list answer of the account, byte for byte.
  std::string hosts;
};

struct Accounts {
  std::vector<Account> accounts;
  // Result code answered for a host or group of this name, whatever else holds.
  std::map<std::string, int> forcedCodes;
  // Address a host or group of this name has before its first update.
  std::map<std::string, std::string> initialAddresses;
  // Updates per name after which 5 is answered; 0 for no limit.
  int updateLimit = 0;

  const Account* Find(std::string_view user) const;
};

// Reads the text of an accounts file.  On failure returns false and sets
// error to "line N: what is wrong".
bool ParseAccounts(std::string_view text, Accounts& out, std::string& error);
bool LoadAccounts(const std::string& path, Accounts& out, std::string& error);

// "%XX" (hexadecimal digits of either case) becomes its byte; any other "%"
// stays as it is.
std::string UnescapePercent(std::string_view text);

}  // namespace ravo::refserver

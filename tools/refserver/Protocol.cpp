#include "Protocol.h"

#include <set>

#include "core/Codecs.h"
#include "core/Constants.h"

namespace ravo::refserver {

namespace {

// Result codes of the service.
constexpr int kUnchanged = 0;
constexpr int kUpdated = 1;
constexpr int kNoSuchHost = 2;
constexpr int kBadUser = 3;
constexpr int kBadPassword = 4;
constexpr int kTooManyUpdates = 5;
constexpr int kBanned = 6;
constexpr int kBadAddress = 7;
constexpr int kNoSuchGroup = 10;
constexpr int kGroupUpdated = 11;
constexpr int kGroupUnchanged = 12;
constexpr int kNoHosts = 13;

// The hosts and groups that an account's host list names: every entry is
// "name", "#,name" or "group,name", each ended by "|".
struct ListedNames {
  std::set<std::string, std::less<>> hosts;
  std::set<std::string, std::less<>> groups;
};

ListedNames ReadListedNames(std::string_view list) {
  ListedNames names;
  while (!list.empty()) {
    const auto end = list.find('|');
    std::string_view entry = list.substr(0, end);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    const auto comma = entry.find(',');
    if (comma != std::string_view::npos) {
      const std::string_view group = entry.substr(0, comma);
      if (group != "#") names.groups.emplace(group);
      entry.remove_prefix(comma + 1);
    }
    if (!entry.empty()) names.hosts.emplace(entry);
  }
  return names;
}

std::string Key(std::string_view name, bool isGroup) { return (isGroup ? "g" : "h") + std::string(name); }

}  // namespace

QueryPairs SplitQuery(std::string_view query) {
  QueryPairs pairs;
  while (!query.empty()) {
    const auto end = query.find('&');
    const std::string_view part = query.substr(0, end);
    query.remove_prefix(end == std::string_view::npos ? query.size() : end + 1);
    if (part.empty()) continue;
    const auto equals = part.find('=');
    if (equals == std::string_view::npos)
      pairs.emplace_back(std::string(part), std::string());
    else
      pairs.emplace_back(std::string(part.substr(0, equals)), std::string(part.substr(equals + 1)));
  }
  return pairs;
}

std::string DecodeProtectedQuery(std::string_view urlQuery) {
  // The protected text is Base64 and its "=" padding travels unescaped, so the
  // parameter runs to the next "&" rather than to the next "=".
  constexpr std::string_view kParameter = "request=";
  std::size_t start = 0;
  while (start < urlQuery.size()) {
    const auto end = urlQuery.find('&', start);
    const std::string_view part = urlQuery.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.substr(0, kParameter.size()) == kParameter)
      return UnprotectQuery(part.substr(kParameter.size()), kQueryKey);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return {};
}

bool IsDottedIPv4(std::string_view text) {
  int parts = 0;
  while (true) {
    std::size_t digits = 0;
    int value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 4) {
      value = value * 10 + (text[digits] - '0');
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    text.remove_prefix(digits);
    if (++parts == 4) return text.empty();
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
  }
}

RefService::RefService(Accounts accounts) : accounts_(std::move(accounts)) {
  for (const auto& [name, address] : accounts_.initialAddresses) {
    addresses_[Key(name, false)] = address;
    addresses_[Key(name, true)] = address;
  }
}

std::string RefService::AnswerAddress(std::string_view caller) const {
  return addressAnswer_.empty() ? std::string(caller) : addressAnswer_;
}

int RefService::LoginCode(const Account* account, std::string_view password) const {
  if (!account) return kBadUser;
  if (account->password != password) return kBadPassword;
  if (account->banned) return kBanned;
  return 0;
}

std::string RefService::AnswerHostList(std::string_view query) const {
  std::string user;
  std::string password;
  bool haveUser = false, havePassword = false;
  for (const auto& [key, value] : SplitQuery(query)) {
    if (key == "email" && !haveUser) user = value, haveUser = true;
    if (key == "pass" && !havePassword) password = UnescapePercent(value), havePassword = true;
  }
  const Account* account = accounts_.Find(user);
  switch (LoginCode(account, password)) {
    case kBadUser: return "badauth:3";
    case kBadPassword: return "badauth:4";
    case kBanned: return "banned:6";
    default: break;
  }
  if (account->hosts.empty()) return "nohost:13";
  return account->hosts;
}

std::string RefService::AnswerUpdate(std::string_view query, std::string_view caller) {
  std::string user;
  std::string password;
  bool haveUser = false, havePassword = false, haveAddress = false;
  std::string address(caller);
  std::vector<std::pair<std::string, bool>> items;  // name, is a group
  for (auto& [key, value] : SplitQuery(query)) {
    if (key == "username" && !haveUser) user = value, haveUser = true;
    else if (key == "pass" && !havePassword) password = UnescapePercent(value), havePassword = true;
    else if (key == "h[]") items.emplace_back(std::move(value), false);
    else if (key == "g[]") items.emplace_back(std::move(value), true);
    else if (key == "ip" && !haveAddress) address = value, haveAddress = true;
  }

  const Account* account = accounts_.Find(user);
  const int login = LoginCode(account, password);
  const ListedNames listed = account ? ReadListedNames(account->hosts) : ListedNames{};
  const bool addressValid = IsDottedIPv4(address);

  std::string answer;
  for (const auto& [name, isGroup] : items) {
    int code = login;
    if (code == 0) {
      const auto forced = accounts_.forcedCodes.find(name);
      const std::string key = Key(name, isGroup);
      if (forced != accounts_.forcedCodes.end()) {
        code = forced->second;
      } else if (isGroup ? !listed.groups.count(name) : !listed.hosts.count(name)) {
        code = isGroup ? kNoSuchGroup : kNoSuchHost;
      } else if (!addressValid) {
        code = kBadAddress;
      } else if (accounts_.updateLimit > 0 && updateCounts_[key] >= accounts_.updateLimit) {
        code = kTooManyUpdates;
      } else {
        ++updateCounts_[key];
        std::string& held = addresses_[key];
        const bool unchanged = held == address;
        held = address;
        code = isGroup ? (unchanged ? kGroupUnchanged : kGroupUpdated) : (unchanged ? kUnchanged : kUpdated);
      }
    }
    if (!answer.empty()) answer += "\r\n";
    answer += name + ":" + std::to_string(code);
  }
  return answer;
}

std::string RefService::AddressOf(std::string_view name, bool isGroup) const {
  const auto found = addresses_.find(Key(name, isGroup));
  return found == addresses_.end() ? std::string() : found->second;
}

}  // namespace ravo::refserver

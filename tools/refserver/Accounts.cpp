#include "Accounts.h"

#include <fstream>
#include <sstream>

namespace ravo::refserver {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next blank-separated word of rest.
std::string_view NextWord(std::string_view& rest) {
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  std::size_t end = 0;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  return word;
}

bool ParseNumber(std::string_view text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high;
}

Account* FindAccount(Accounts& accounts, std::string_view user) {
  for (auto& account : accounts.accounts)
    if (account.user == user) return &account;
  return nullptr;
}

// One directive; returns an empty text when it is fine, else what is wrong.
std::string ParseDirective(std::string_view line, Accounts& out) {
  std::string_view rest = line;
  const std::string_view directive = NextWord(rest);
  if (directive == "hosts") {
    // The list is the rest of the line after one blank, verbatim: host lists
    // hold "#" and may hold blanks, so nothing in it is a comment.
    const std::string user = UnescapePercent(NextWord(rest));
    if (user.empty()) return "hosts needs a user";
    Account* account = FindAccount(out, user);
    if (!account) return "hosts for an undeclared account";
    if (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    account->hosts.append(rest);
    return {};
  }

  std::vector<std::string_view> words;
  for (std::string_view word = NextWord(rest); !word.empty(); word = NextWord(rest)) words.push_back(word);
  if (directive == "account") {
    if (words.size() < 2 || words.size() > 3) return "account needs USER PASSWORD [banned]";
    if (words.size() == 3 && words[2] != "banned") return "unknown account flag";
    Account account;
    account.user = UnescapePercent(words[0]);
    account.password = UnescapePercent(words[1]);
    account.banned = words.size() == 3;
    if (FindAccount(out, account.user)) return "account declared twice";
    out.accounts.push_back(std::move(account));
    return {};
  }
  if (directive == "force") {
    int code = 0;
    if (words.size() != 2 || !ParseNumber(words[1], 0, 99, code)) return "force needs NAME CODE (0 to 99)";
    out.forcedCodes[UnescapePercent(words[0])] = code;
    return {};
  }
  if (directive == "address") {
    if (words.size() != 2) return "address needs NAME ADDRESS";
    out.initialAddresses[UnescapePercent(words[0])] = std::string(words[1]);
    return {};
  }
  if (directive == "limit") {
    if (words.size() != 1 || !ParseNumber(words[0], 0, 1000000, out.updateLimit))
      return "limit needs a number of updates";
    return {};
  }
  return "unknown directive \"" + std::string(directive) + "\"";
}

}  // namespace

const Account* Accounts::Find(std::string_view user) const {
  for (const auto& account : accounts)
    if (account.user == user) return &account;
  return nullptr;
}

std::string UnescapePercent(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      result += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      result += text[i];
    }
  }
  return result;
}

bool ParseAccounts(std::string_view text, Accounts& out, std::string& error) {
  Accounts parsed;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view probe = line;
    while (!probe.empty() && IsBlank(probe.front())) probe.remove_prefix(1);
    if (probe.empty() || probe.front() == '#') continue;
    const std::string problem = ParseDirective(line, parsed);
    if (!problem.empty()) {
      error = "line " + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  out = std::move(parsed);
  return true;
}

bool LoadAccounts(const std::string& path, Accounts& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::stringstream content;
  content << in.rdbuf();
  if (!ParseAccounts(content.str(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace ravo::refserver

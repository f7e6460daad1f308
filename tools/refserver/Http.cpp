#include "Http.h"

#include <algorithm>
#include <cctype>

namespace ravo::refserver {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    default: return "Error";
  }
}

// Keeps a record entry on its line: control bytes (a decoded query may hold
// any byte) are shown as \xNN.
std::string ShowControlBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

std::string RequestHead::TargetWithoutQuery() const { return target.substr(0, target.find('?')); }

std::string RequestHead::Query() const {
  const auto mark = target.find('?');
  return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

std::string RequestHead::Path() const {
  std::string path = TargetWithoutQuery();
  // A client that goes through a proxy sends the whole URL.
  const auto scheme = path.find("://");
  if (scheme != std::string::npos && path.find('/') > scheme) {
    const auto slash = path.find('/', scheme + 3);
    path = slash == std::string::npos ? "/" : path.substr(slash);
  }
  return path;
}

std::size_t HeadLength(std::string_view data) {
  // Lone line feeds are accepted as line ends as well.
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\n') continue;
    if (i + 1 < data.size() && data[i + 1] == '\n') return i + 2;
    if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') return i + 3;
  }
  return 0;
}

bool ParseRequestHead(std::string_view head, RequestHead& out) {
  RequestHead parsed;
  bool first = true;
  while (!head.empty()) {
    const auto end = head.find('\n');
    std::string_view line = head.substr(0, end);
    head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      const auto space1 = line.find(' ');
      const auto space2 = space1 == std::string_view::npos ? space1 : line.find(' ', space1 + 1);
      if (space2 == std::string_view::npos || space1 == 0 || space2 == space1 + 1) return false;
      parsed.method = line.substr(0, space1);
      parsed.target = line.substr(space1 + 1, space2 - space1 - 1);
      parsed.version = line.substr(space2 + 1);
      if (parsed.version.rfind("HTTP/", 0) != 0) return false;
      continue;
    }
    if (line.empty()) break;
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    parsed.headers.emplace_back(std::string(line.substr(0, colon)),
                                std::string(TrimBlanks(line.substr(colon + 1))));
  }
  if (first) return false;
  out = std::move(parsed);
  return true;
}

std::string FormatRecord(const RequestHead& head, std::string_view query) {
  std::string record = ShowControlBytes(head.method) + " " + ShowControlBytes(head.TargetWithoutQuery());
  if (!query.empty()) {
    record += ' ';
    record += ShowControlBytes(query);
  }
  record += '\n';
  for (const auto& [name, value] : head.headers) {
    const bool secret = SameLetters(name, "Authorization") || SameLetters(name, "Proxy-Authorization");
    record += "  " + ShowControlBytes(name) + ": ";
    record += secret ? std::string("(hidden)") : ShowControlBytes(value);
    record += '\n';
  }
  return record;
}

std::string ReplyHead(int status, std::uint64_t contentLength) {
  return "HTTP/1.0 " + std::to_string(status) + " " + std::string(StatusText(status)) +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(contentLength) +
         "\r\nConnection: close\r\n\r\n";
}

std::string Reply(int status, std::string_view body) {
  return ReplyHead(status, body.size()) + std::string(body);
}

}  // namespace ravo::refserver

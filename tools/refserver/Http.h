// The little HTTP the reference server speaks: request heads in, HTTP/1.0
// answers out, and the record line of each request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ravo::refserver {

struct RequestHead {
  std::string method;
  std::string target;  // as sent: a path, or an absolute URL through a proxy
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;

  // The target without scheme, host and query: what the answer depends on.
  std::string Path() const;
  // The target's part before "?", and after it (empty without one).
  std::string TargetWithoutQuery() const;
  std::string Query() const;
};

// The length of the head (through its blank line) at the start of data, or 0
// while it is incomplete.
std::size_t HeadLength(std::string_view data);
bool ParseRequestHead(std::string_view head, RequestHead& out);

// "METHOD TARGET-WITHOUT-QUERY QUERY" (the query as given, for protected
// requests already decoded) and one line per header indented by two blanks;
// credentials headers show no value and control bytes show as \xNN.  Ends
// with a line break.
std::string FormatRecord(const RequestHead& head, std::string_view query);

std::string ReplyHead(int status, std::uint64_t contentLength);
std::string Reply(int status, std::string_view body);

}  // namespace ravo::refserver

#include "core/ResultCode.h"

namespace ravo {

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string_view TrimControl(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

int ParseResultCode(std::string_view line) {
  line = TrimControl(line);
  auto separator = line.find(':');
  if (separator == std::string_view::npos) separator = line.find('=');
  if (separator == std::string_view::npos) return -1;
  // At most two bytes: a code has one or two digits.
  const std::string_view digits = TrimControl(line.substr(separator + 1, 2));
  if (digits.empty()) return -1;
  int code = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code;
}

}  // namespace ravo

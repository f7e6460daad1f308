#include "core/Codecs.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace ravo {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct Escape {
  char character;
  std::string_view replacement;
};

// Applied one after the other; "%" first so that the percent signs of the
// later escapes are not escaped again.
constexpr std::array<Escape, 17> kEscapes{{{'%', "%25"},
                                           {' ', "%20"},
                                           {'~', "%7E"},
                                           {'!', "%21"},
                                           {'@', "%40"},
                                           {'#', "%23"},
                                           {'$', "%24"},
                                           {'^', "%5E"},
                                           {'&', "%26"},
                                           {'*', "%2A"},
                                           {'(', "%28"},
                                           {')', "%29"},
                                           {'+', "%2B"},
                                           {'`', "%60"},
                                           {'=', "%3D"},
                                           {'[', "%5B"},
                                           {']', "%5D"}}};

int Base64Value(char c) {
  const auto at = kAlphabet.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

std::string EscapeUrlText(std::string_view text) {
  std::string result(text);
  for (const auto& escape : kEscapes) {
    std::string next;
    next.reserve(result.size());
    for (char c : result) {
      if (c == escape.character) {
        next += escape.replacement;
      } else {
        next += c;
      }
    }
    result = std::move(next);
  }
  return result;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t n = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                            (static_cast<std::uint8_t>(bytes[i + 1]) << 8) |
                            static_cast<std::uint8_t>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t n = static_cast<std::uint8_t>(bytes[i]) << 16;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t n = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                            (static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += '=';
  }
  return out;
}

// Characters outside the alphabet ("=", blanks, line breaks, anything else) are
// skipped; a final lone 6-bit value gives no byte.
std::string Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 2);
  std::uint32_t group = 0;
  int count = 0;
  for (char c : text) {
    const int value = Base64Value(c);
    if (value < 0) continue;
    group = (group << 6) | static_cast<std::uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>((group >> 16) & 0xFF);
      out += static_cast<char>((group >> 8) & 0xFF);
      out += static_cast<char>(group & 0xFF);
      group = 0;
      count = 0;
    }
  }
  if (count == 3) {
    out += static_cast<char>((group >> 10) & 0xFF);
    out += static_cast<char>((group >> 2) & 0xFF);
  } else if (count == 2) {
    out += static_cast<char>((group >> 4) & 0xFF);
  }
  return out;
}

std::string XorWithKey(std::string_view data, std::string_view key) {
  std::string out(data);
  if (key.empty()) return out;
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char>(out[i] ^ key[i % key.size()]);
  }
  return out;
}

std::string ProtectQuery(std::string_view url, std::string_view key) {
  const auto mark = url.find('?');
  if (mark == std::string_view::npos) return std::string(url);
  std::string query(url.substr(mark + 1));
  std::reverse(query.begin(), query.end());
  std::string result(url.substr(0, mark + 1));
  result += "request=";
  result += Base64Encode(XorWithKey(query, key));
  return result;
}

std::string UnprotectQuery(std::string_view protectedText, std::string_view key) {
  std::string query = XorWithKey(Base64Decode(protectedText), key);
  std::reverse(query.begin(), query.end());
  return query;
}

}  // namespace ravo

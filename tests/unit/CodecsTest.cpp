#include <gtest/gtest.h>

#include "core/Codecs.h"
#include "core/Constants.h"
#include "core/ResultCode.h"

namespace ravo {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(Codecs, EscapeUrlTextEscapesInTableOrder) {
  const TextCase cases[] = {
      {"a%20b", "a%2520b"},
      {"50% off!", "50%25%20off%21"},
      {"a+b=c", "a%2Bb%3Dc"},
      {"x/y?z", "x/y?z"},
      {"~!@#$^&*()`[]", "%7E%21%40%23%24%5E%26%2A%28%29%60%5B%5D"},
      {"-_.:;,'\"<>{}|\\", "-_.:;,'\"<>{}|\\"},
      {"\xb1\x4b\xbd\x58", "\xb1\x4b\xbd\x58"},  // Big5 bytes pass unchanged
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeUrlText(c.input), c.expected) << c.input;
}

TEST(Codecs, Base64EncodeAndDecode) {
  const TextCase encodings[] = {{"abc", "YWJj"}, {std::string(1, '\0'), "AA=="}, {"", ""},
                                {"ab", "YWI="},  {"a", "YQ=="}, {"\xff\xfe\xfd", "//79"}};
  for (const auto& c : encodings) {
    EXPECT_EQ(Base64Encode(c.input), c.expected);
    EXPECT_EQ(Base64Decode(c.expected), c.input);
  }
  const TextCase decodings[] = {
      {"YWJj \r\n", "abc"}, {"YQ", "a"}, {"Y", ""}, {"AA==", std::string(1, '\0')}, {"Y=W=J=j", "abc"}};
  for (const auto& c : decodings) EXPECT_EQ(Base64Decode(c.input), c.expected) << c.input;
}

TEST(Codecs, XorWithKeyRepeatsTheKeyAndUndoesItself) {
  const std::string data = "0123456789";
  const std::string mixed = XorWithKey(data, "ab");
  ASSERT_EQ(mixed.size(), data.size());
  for (std::size_t i = 0; i < data.size(); ++i) EXPECT_EQ(mixed[i], data[i] ^ "ab"[i % 2]);
  EXPECT_EQ(XorWithKey(mixed, "ab"), data);
}

TEST(Codecs, QueryKeyHasTheAgreedShape) {
  int upper = 0, lower = 0, digits = 0, other = 0;
  for (char c : kQueryKey) {
    ASSERT_GT(c, ' ');
    ASSERT_LT(c, 127);
    if (c >= 'A' && c <= 'Z') ++upper;
    else if (c >= 'a' && c <= 'z') ++lower;
    else if (c >= '0' && c <= '9') ++digits;
    else ++other;
  }
  EXPECT_EQ(kQueryKey.size(), 47u);
  EXPECT_EQ(upper, 17);
  EXPECT_EQ(lower, 17);
  EXPECT_EQ(digits, 10);
  EXPECT_EQ(other, 3);
}

TEST(Codecs, ProtectQueryKeepsThePrefixAndHidesTheQuery) {
  const std::string url = "http://127.0.0.2:8245/ravoupdate.php?username=u&pass=p&h[]=x";
  const std::string query = "username=u&pass=p&h[]=x";
  ASSERT_EQ(query.size(), 23u);
  const std::string protectedUrl = ProtectQuery(url, kQueryKey);
  const std::string prefix = "http://127.0.0.2:8245/ravoupdate.php?request=";
  ASSERT_EQ(protectedUrl.substr(0, prefix.size()), prefix);
  const std::string encoded = protectedUrl.substr(prefix.size());
  EXPECT_EQ(encoded.size(), 32u);
  // Reversed, mixed with the key, Base64: undone step by step.
  std::string reversed(query.rbegin(), query.rend());
  EXPECT_EQ(encoded, Base64Encode(XorWithKey(reversed, kQueryKey)));
  EXPECT_EQ(UnprotectQuery(encoded, kQueryKey), query);

  EXPECT_EQ(ProtectQuery("http://h/p?", kQueryKey), "http://h/p?request=");
  EXPECT_EQ(ProtectQuery("http://h/a?b?c", kQueryKey).substr(0, 19), "http://h/a?request=");
}

TEST(ResultCode, ReadsOneOrTwoDigitsAfterTheSeparator) {
  const struct {
    std::string line;
    int code;
  } cases[] = {{"myhost:1", 1},   {"name:100", 10}, {"name:-1", -1}, {"name: 5", 5}, {"name:5x", -1},
               {"a=1", 1},        {"a:1=2", -1},     {"nothing", -1}, {"name:", -1}, {"  h:12 \r\n", 12},
               {"h:\t7\t", 7},    {"h:99", 99},     {"h=:3", 3},    {"", -1},      {"h:0", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseResultCode(c.line), c.code) << c.line;
}

}  // namespace
}  // namespace ravo

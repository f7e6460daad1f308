#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/Texts.h"
#include "platform/Text.h"

namespace ravo {
namespace {

TEST(Texts, EveryTextConvertsToCodePage950WithoutLoss) {
  ASSERT_FALSE(text::AllTexts().empty());
  for (const auto& entry : text::AllTexts()) {
    bool lossless = false;
    const std::string cp950 = Utf8ToCp950(entry.utf8, &lossless);
    EXPECT_TRUE(lossless) << entry.name;
    EXPECT_EQ(*entry.cp950, cp950) << entry.name;
    EXPECT_EQ(Cp950ToUtf8(cp950), entry.utf8) << entry.name;
  }
}

TEST(Texts, ConversionReportsWhatCodePage950CannotHold) {
  bool lossless = true;
  Utf8ToCp950("\xf0\x9f\x98\x80", &lossless);  // an emoji
  EXPECT_FALSE(lossless);
  EXPECT_EQ(Utf8ToCp950("\xe7\xb6\xb2"), "\xba\xf4");  // 網
}

// Non-ASCII literal texts belong in core/Texts.def, where the check above sees
// them; the rest of the code holds ASCII only (comments aside).
TEST(Texts, NoOtherSourceFileHoldsANonAsciiString) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(RAVO_SOURCE_DIR) / "src";
  if (!fs::exists(root)) GTEST_SKIP() << "sources not reachable from here";
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const auto extension = entry.path().extension();
    if (extension != ".cpp" && extension != ".h") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      const auto comment = line.find("//");
      const std::string code = line.substr(0, comment);
      const auto quote = code.find('"');
      if (quote == std::string::npos) continue;
      for (char c : code.substr(quote)) {
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << entry.path() << ":" << number;
      }
    }
  }
}

}  // namespace
}  // namespace ravo

#include "core/Texts.h"

#include <array>

#include "platform/Text.h"

namespace ravo::text {

#define RAVO_TEXT(name, utf8) const std::string name = Utf8ToCp950(utf8);
#include "core/Texts.def"
#undef RAVO_TEXT

std::span<const Entry> AllTexts() {
  static const Entry entries[] = {
#define RAVO_TEXT(name, utf8) {#name, utf8, &name},
#include "core/Texts.def"
#undef RAVO_TEXT
  };
  return entries;
}

}  // namespace ravo::text

// The program's non-ASCII texts as code page 950 constants, converted once from
// the UTF-8 of core/Texts.def.
#pragma once

#include <span>
#include <string>

namespace ravo::text {

#define RAVO_TEXT(name, utf8) extern const std::string name;
#include "core/Texts.def"
#undef RAVO_TEXT

struct Entry {
  const char* name;
  const char* utf8;
  const std::string* cp950;
};
// Every text of core/Texts.def, for the check that each one converts without loss.
std::span<const Entry> AllTexts();

}  // namespace ravo::text

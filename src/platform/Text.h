// Conversions between the UTF-8 of the source files and code page 950, the
// program's text encoding.
#pragma once

#include <string>
#include <string_view>

namespace ravo {

// Sets *lossless to false when a character has no code page 950 form.
std::string Utf8ToCp950(std::string_view utf8, bool* lossless = nullptr);
std::string Cp950ToUtf8(std::string_view cp950);

}  // namespace ravo

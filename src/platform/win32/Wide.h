// The one pair of conversions at the Win32 boundary: code page 950 bytes to and
// from UTF-16, whatever the system's ANSI code page is.
#pragma once

#include <string>
#include <string_view>

namespace ravo {

std::wstring Cp950ToWide(std::string_view cp950);
std::string WideToCp950(std::wstring_view wide, bool* lossless = nullptr);
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace ravo

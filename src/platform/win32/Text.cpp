#include <windows.h>

#include "platform/Text.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

constexpr UINT kCp950 = 950;

std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string FromWide(UINT codePage, std::wstring_view wide, bool* lossless) {
  if (lossless) *lossless = true;
  if (wide.empty()) return {};
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultArg = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, usedDefaultArg);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, usedDefaultArg);
  if (lossless && usedDefault) *lossless = false;
  return text;
}

}  // namespace

std::wstring Cp950ToWide(std::string_view cp950) { return ToWide(kCp950, cp950); }
std::string WideToCp950(std::wstring_view wide, bool* lossless) {
  return FromWide(kCp950, wide, lossless);
}
std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }
std::string WideToUtf8(std::wstring_view wide) { return FromWide(CP_UTF8, wide, nullptr); }

std::string Utf8ToCp950(std::string_view utf8, bool* lossless) {
  return WideToCp950(Utf8ToWide(utf8), lossless);
}
std::string Cp950ToUtf8(std::string_view cp950) { return WideToUtf8(Cp950ToWide(cp950)); }

}  // namespace ravo

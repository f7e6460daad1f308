// Windows-build tests: Linux paths as the Wine process sees them.
#pragma once

#include <filesystem>
#include <string>

#include "platform/win32/Wide.h"

namespace ravo::test {

// Wine maps the Linux root to drive Z:.
inline std::filesystem::path FromLinux(const std::string& path) {
  std::wstring windows = L"Z:" + Utf8ToWide(path);
  for (auto& c : windows) {
    if (c == L'/') c = L'\\';
  }
  return std::filesystem::path(windows);
}

}  // namespace ravo::test

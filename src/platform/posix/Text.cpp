#include "platform/Text.h"

#include <iconv.h>

#include <cerrno>

namespace ravo {

namespace {

// iconv with a replacement for what cannot be converted, so that no text is lost
// silently: the caller learns about it through *lossless.
std::string Convert(const char* to, const char* from, std::string_view in, bool* lossless) {
  if (lossless) *lossless = true;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (lossless) *lossless = false;
    return std::string(in);
  }
  std::string out;
  char buffer[256];
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      if (lossless) *lossless = false;
      out += '?';
      ++src;
      --srcLeft;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string Utf8ToCp950(std::string_view utf8, bool* lossless) {
  return Convert("CP950", "UTF-8", utf8, lossless);
}

std::string Cp950ToUtf8(std::string_view cp950) { return Convert("UTF-8", "CP950", cp950, nullptr); }

}  // namespace ravo

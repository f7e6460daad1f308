// The program's text codecs: its own URL escaping, Base64, the keyed byte
// mixing and the query protection.  All work on bytes (code page 950 text).
#pragma once

#include <string>
#include <string_view>

namespace ravo {

std::string EscapeUrlText(std::string_view text);
std::string Base64Encode(std::string_view bytes);
std::string Base64Decode(std::string_view text);
std::string XorWithKey(std::string_view data, std::string_view key);
// Replaces everything after the first "?" by "request=" and the protected query.
std::string ProtectQuery(std::string_view url, std::string_view key);
// The reverse of ProtectQuery's query part: the original query from the text
// after "request=".  Used by the reference server and the tests.
std::string UnprotectQuery(std::string_view protectedText, std::string_view key);

}  // namespace ravo

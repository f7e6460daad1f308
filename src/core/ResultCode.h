// Reading a result code from one line of the update server's answer.
#pragma once

#include <string_view>

namespace ravo {

// Blanks and control characters (bytes up to 32) removed from both ends.
std::string_view TrimControl(std::string_view text);
// The one- or two-digit code after the first ":" (or, without one, the first
// "="); -1 when there is none.
int ParseResultCode(std::string_view line);

}  // namespace ravo

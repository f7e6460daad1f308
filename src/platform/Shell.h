// The shell's execute call.
#pragma once

#include <string>

namespace ravo {

// Starts `file` with the verb and parameters, no working directory, shown
// normally; returns at once without waiting (the result is not examined).
void ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters);

}  // namespace ravo

// Who and where the process is.  Texts are code page 950 bytes; folders end with
// the path separator.
#pragma once

#include <string>

namespace ravo {

// The name of the account running the process (the name, not the domain).
std::string UserName();
// True when the thread's access token (or the process's, when the thread has
// none) holds the local Administrators group S-1-5-32-544.
bool UserIsAdmin();
std::string ExecutablePath();
std::string ExecutableFolder();
// The user's local application data folder + "Ravo" + separator: where the log
// files go when the program's folder cannot be written.
std::string LocalDataFolder();
// The separator of file paths on this platform.
char PathSeparator();

}  // namespace ravo

#include "platform/Identity.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace ravo {

std::string UserName() {
  if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
  return "user";
}

bool UserIsAdmin() { return geteuid() == 0; }

std::string ExecutablePath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

std::string ExecutableFolder() {
  return std::filesystem::path(ExecutablePath()).parent_path().string() + "/";
}

std::string LocalDataFolder() {
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "/tmp") + "/.local/share/Ravo/";
}

char PathSeparator() { return '/'; }

}  // namespace ravo

#include "platform/Shell.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace ravo {

namespace {

// The pieces between blanks; runs of blanks separate like one.
std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!piece.empty()) pieces.push_back(std::move(piece));
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
  return pieces;
}

bool Executable(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A name with a slash is a path; otherwise the PATH folders are searched, as a
// shell would, but here in the parent: the child may only call exec itself.
std::string Resolve(const std::string& file) {
  if (file.empty() || file.find('/') != std::string::npos) return file;
  const char* path = std::getenv("PATH");
  const std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    const std::string candidate = folder + "/" + file;
    if (Executable(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

// Runs in the forked grandchild: only async-signal-safe calls from here on.
[[noreturn]] void Exec(const char* path, char* const* argv, long openFiles) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // The program must not hold on to our sockets (a listening port would stay
  // taken after we close it) or other files.
  if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0) {
    for (long fd = 3; fd < openFiles; ++fd) close(static_cast<int>(fd));
  }
  execv(path, argv);
  _exit(127);
}

}  // namespace

// Linux has no shell verbs: every verb (the default one, "open", any other)
// starts the program.  The parameters are split at blanks into its arguments
// and nothing is interpreted: no quotes, no variables, no globbing.  The
// program is started from a short-lived intermediate child that exits at once,
// so the program is adopted by init and never left as our zombie; waiting for
// that intermediate child takes only as long as one fork.  Failures are
// silent, as on Windows.
void ShellExecute(const std::string&, const std::string& file, const std::string& parameters) {
  const std::string path = Resolve(file);
  if (path.empty()) return;
  std::vector<std::string> arguments = SplitAtBlanks(parameters);
  arguments.insert(arguments.begin(), file);
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const long openFiles = sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024;

  const pid_t intermediate = fork();
  if (intermediate < 0) return;
  if (intermediate == 0) {
    const pid_t program = fork();
    if (program == 0) Exec(path.c_str(), argv.data(), openFiles);
    _exit(0);
  }
  while (waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace ravo

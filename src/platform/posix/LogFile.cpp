#include "platform/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace ravo {

namespace {

int Fd(std::intptr_t native) { return static_cast<int>(native); }

class FileLock {
 public:
  explicit FileLock(int fd) : fd_(fd) { while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {} }
  ~FileLock() { flock(fd_, LOCK_UN); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

LogFile::~LogFile() { Close(); }

bool LogFile::Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool LogFile::CreateIfMissing(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool LogFile::CreateFolder(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  return mkdir(path.c_str(), 0755) == 0;
}

bool LogFile::Open(const std::string& path) {
  Close();
  // Append mode: every write lands at the end of the file as it is now, also
  // when another process has written since.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  native_ = fd;
  return true;
}

void LogFile::Close() {
  if (native_ >= 0) close(Fd(native_));
  native_ = -1;
}

bool LogFile::IsOpen() const { return native_ >= 0; }

bool LogFile::Append(const std::string& bytes) {
  if (!IsOpen()) return false;
  FileLock lock(Fd(native_));
  return WriteAll(Fd(native_), bytes.data(), bytes.size());
}

bool LogFile::KeepLast(std::uint64_t limit) {
  if (!IsOpen()) return false;
  const int fd = Fd(native_);
  FileLock lock(fd);
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size < limit) return true;
  std::vector<char> tail(limit);
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t n = pread(fd, tail.data() + got, limit - got, static_cast<off_t>(size - limit + got));
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  if (ftruncate(fd, 0) != 0) return false;
  return WriteAll(fd, tail.data(), tail.size());
}

std::uint64_t LogFile::Size() const {
  struct stat info {};
  if (!IsOpen() || fstat(Fd(native_), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace ravo

#include <windows.h>

#include <vector>

#include "platform/LogFile.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

HANDLE H(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

// The processes of the program take turns through a lock on one byte far beyond
// any log's end: a lock on the data itself would make readers of the file fail.
class FileLock {
 public:
  explicit FileLock(HANDLE file) : file_(file) {
    overlapped_.Offset = 0xFFFFFFF0u;
    overlapped_.OffsetHigh = 0x7FFFFFFFu;
    locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &overlapped_) != FALSE;
  }
  ~FileLock() {
    if (locked_) UnlockFileEx(file_, 0, 1, 0, &overlapped_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  HANDLE file_;
  OVERLAPPED overlapped_{};
  bool locked_ = false;
};

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

HANDLE OpenShared(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileW(Cp950ToWide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

LogFile::~LogFile() { Close(); }

bool LogFile::Exists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Cp950ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool LogFile::CreateIfMissing(const std::string& path) {
  HANDLE file = OpenShared(path, GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool LogFile::CreateFolder(const std::string& path) {
  const std::wstring wide = Cp950ToWide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
}

bool LogFile::Open(const std::string& path) {
  Close();
  HANDLE file = OpenShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  native_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

void LogFile::Close() {
  if (native_ != -1) CloseHandle(H(native_));
  native_ = -1;
}

bool LogFile::IsOpen() const { return native_ != -1; }

bool LogFile::Append(const std::string& bytes) {
  if (!IsOpen()) return false;
  FileLock lock(H(native_));
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(H(native_), zero, nullptr, FILE_END)) return false;
  return WriteAll(H(native_), bytes.data(), bytes.size());
}

bool LogFile::KeepLast(std::uint64_t limit) {
  if (!IsOpen()) return false;
  HANDLE file = H(native_);
  FileLock lock(file);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return false;
  const auto total = static_cast<std::uint64_t>(size.QuadPart);
  if (total < limit) return true;
  std::vector<char> tail(limit);
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(total - limit);
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
  std::size_t got = 0;
  while (got < limit) {
    DWORD read = 0;
    if (!ReadFile(file, tail.data() + got, static_cast<DWORD>(limit - got), &read, nullptr) ||
        read == 0) {
      return false;
    }
    got += read;
  }
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) return false;
  return WriteAll(file, tail.data(), tail.size());
}

std::uint64_t LogFile::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(H(native_), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace ravo

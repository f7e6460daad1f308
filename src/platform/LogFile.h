// A log file shared with other processes of the program: opened for reading and
// writing with sharing, every line appended whole at the current end of the file
// under the file's lock, so that two writers lose and mix no line and a trim
// never cuts a line that another process is writing.
#pragma once

#include <cstdint>
#include <string>

namespace ravo {

class LogFile {
 public:
  LogFile() = default;
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  static bool Exists(const std::string& path);
  // Creates the file empty when it does not exist; true when it exists then.
  static bool CreateIfMissing(const std::string& path);
  // Creates the folder (one level) when it does not exist.
  static bool CreateFolder(const std::string& path);

  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const;

  // Writes the bytes at the end of the file as one piece.
  bool Append(const std::string& bytes);
  // When the file is at least `limit` bytes long, keeps only its last `limit` bytes.
  bool KeepLast(std::uint64_t limit);
  std::uint64_t Size() const;

 private:
  std::intptr_t native_ = -1;  // file descriptor or handle; -1 when closed
};

}  // namespace ravo

// The process's log file: where it lives, the line format and the trim.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/LogFile.h"

namespace ravo {

class EventLog {
 public:
  // Creates "Service.log" when missing, then opens the process's own file:
  // "Service.log" for the service, "Ravo - " + user + ".log" otherwise.  When the
  // folder cannot be written, the same files are used in the fallback folder.
  bool Open(const std::string& folder, const std::string& fallbackFolder, bool serviceMode,
            const std::string& userName);
  void Close() { file_.Close(); }
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return path_; }
  const std::string& Folder() const { return folder_; }

  // "[" + date + " " + time + "] " + message + CR LF; the time is left out at
  // exactly midnight.
  static std::string FormatLine(const std::string& message, const LocalTime& now);
  void Write(const std::string& message, const LocalTime& now);
  // Keeps the last `limitBytes` bytes when the file has at least that many.
  void Trim(std::uint64_t limitBytes) { file_.KeepLast(limitBytes); }

  static std::string FileName(bool serviceMode, const std::string& userName);

 private:
  bool OpenIn(const std::string& folder, bool serviceMode, const std::string& userName);

  LogFile file_;
  std::string folder_;
  std::string path_;
};

}  // namespace ravo

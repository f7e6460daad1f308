#include "core/EventLog.h"

namespace ravo {

namespace {

const std::string kServiceLog = "Service.log";

}  // namespace

std::string EventLog::FileName(bool serviceMode, const std::string& userName) {
  return serviceMode ? kServiceLog : "Ravo - " + userName + ".log";
}

bool EventLog::OpenIn(const std::string& folder, bool serviceMode, const std::string& userName) {
  if (folder.empty()) return false;
  if (!LogFile::CreateIfMissing(folder + kServiceLog)) return false;
  const std::string path = folder + FileName(serviceMode, userName);
  if (!file_.Open(path)) return false;
  folder_ = folder;
  path_ = path;
  return true;
}

// A program installed in a folder that its user cannot write (Program Files)
// logs to the user's own data folder instead of not logging at all.
bool EventLog::Open(const std::string& folder, const std::string& fallbackFolder, bool serviceMode,
                    const std::string& userName) {
  if (OpenIn(folder, serviceMode, userName)) return true;
  if (!fallbackFolder.empty()) {
    LogFile::CreateFolder(fallbackFolder.substr(0, fallbackFolder.size() - 1));
    if (OpenIn(fallbackFolder, serviceMode, userName)) return true;
  }
  return false;
}

std::string EventLog::FormatLine(const std::string& message, const LocalTime& now) {
  std::string stamp = FormatShortDate(now);
  if (now.hour != 0 || now.minute != 0 || now.second != 0 || now.millisecond != 0) {
    stamp += ' ';
    stamp += FormatLongTime(now);
  }
  return "[" + stamp + "] " + message + "\r\n";
}

void EventLog::Write(const std::string& message, const LocalTime& now) {
  file_.Append(FormatLine(message, now));
}

}  // namespace ravo

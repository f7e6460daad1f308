#include <sys/time.h>

#include <cstdio>
#include <ctime>

#include "platform/Clock.h"

namespace ravo {

LocalTime LocalNow() {
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm parts{};
  localtime_r(&now.tv_sec, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.millisecond = static_cast<int>(now.tv_usec / 1000);
  t.dayOfWeek = parts.tm_wday == 0 ? 7 : parts.tm_wday;
  return t;
}

// The native build has no locale settings of its own: the formats of a
// Traditional Chinese system, year/month/day and a 24-hour time.
std::string FormatShortDate(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d", t.year, t.month, t.day);
  return text;
}

std::string FormatLongTime(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

}  // namespace ravo

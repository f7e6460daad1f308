// Local date and time, and their display in the system's formats.
#pragma once

#include <functional>
#include <string>

namespace ravo {

struct LocalTime {
  int year = 2000, month = 1, day = 1;  // calendar date
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int dayOfWeek = 6;  // 1 Monday .. 7 Sunday
};

LocalTime LocalNow();
// The system's default short date format and long time format (code page 950).
std::string FormatShortDate(const LocalTime& time);
std::string FormatLongTime(const LocalTime& time);

// Where a clock is injected (schedule tests, log time stamps).
using ClockFunction = std::function<LocalTime()>;

}  // namespace ravo

#include <windows.h>

#include "platform/Clock.h"
#include "platform/win32/Wide.h"

namespace ravo {

namespace {

SYSTEMTIME ToSystemTime(const LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  st.wMilliseconds = static_cast<WORD>(t.millisecond);
  st.wDayOfWeek = static_cast<WORD>(t.dayOfWeek % 7);
  return st;
}

}  // namespace

LocalTime LocalNow() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  t.dayOfWeek = st.wDayOfWeek == 0 ? 7 : st.wDayOfWeek;
  return t;
}

std::string FormatShortDate(const LocalTime& t) {
  const SYSTEMTIME st = ToSystemTime(t);
  wchar_t text[96] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 96)) return {};
  return WideToCp950(text);
}

std::string FormatLongTime(const LocalTime& t) {
  const SYSTEMTIME st = ToSystemTime(t);
  wchar_t text[96] = {};
  if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, 96)) return {};
  return WideToCp950(text);
}

}  // namespace ravo

// The access schedule: 8 blocks of 25 bytes, block = day (Monday 1 .. Sunday 7),
// offset = hour + 1; a zero byte forbids that hour.
#include "core/Constants.h"
#include "engine/RavoGlobals.h"

namespace ravo {

namespace {

const std::string kRefusalNotice =
    "<img index=18> Access not allowed at this time due to scheduling, will retry at the top of the "
    "hour.  To change scheduling options, click <a name=schedulingoptions hint=\"Click here to edit "
    "your scheduling options.\">here</a>.";

}  // namespace

// True when the request was refused: its completion has then received 666.
bool TRavoGlobals::ScheduleRefuses(HttpClient& client) {
  const std::string schedule = ReadSchedule();
  const LocalTime now = Now();
  const int hour = now.hour + 1;
  const int day = now.dayOfWeek;
  if (schedule[static_cast<std::size_t>(day * 25 + hour)] != 0) return false;
  if (client.OnRequestDone) client.OnRequestDone(client, HttpRequest::Get, kScheduleRefused);
  if (RefusalHour != hour) {
    LogMessage(kRefusalNotice);
    RefusalHour = hour;
  }
  return true;
}

// Whole seconds to the next full hour, plus half a minute.
int TRavoGlobals::DelayToNextHour() {
  const LocalTime now = Now();
  const int pastHourMs = now.minute * 60000 + now.second * 1000 + now.millisecond;
  const int wholeSeconds = (3600000 - pastHourMs) / 1000;
  return wholeSeconds * 1000 + 30000;
}

int TRavoGlobals::NextRetryDelay() {
  RetryDelay = RetryDelay > 900000 ? 1800000 : RetryDelay * 2;
  return RetryDelay;
}

}  // namespace ravo

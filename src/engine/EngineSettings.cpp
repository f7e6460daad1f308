// The settings that the engine object offers, on the settings object's open key.
#include <cstdlib>

#include "engine/RavoGlobals.h"

namespace ravo {

namespace {

const std::string kExternalUpdate = "ExternalUpdate";
const std::string kTop = "RavoTop", kLeft = "RavoLeft", kWidth = "RavoWidth", kHeight = "RavoHeight";
const std::string kSplitter = "RavoSplitter";
const std::string kScheduleList = "ScheduleList";
const std::string kUseSchedule = "UseScheduleList";
const std::string kAllowAutodial = "AllowAutodial";
const std::string kSmoothScrolling = "AllowSmoothScrolling";
const std::string kLogSizeLimit = "LogSizeLimit";
const std::string kStayOnline = "StayOnline";
const std::string kAdapter = "Adapter";
const std::string kConAdapter = "ConAdapter";

constexpr std::size_t kScheduleSize = 200;

}  // namespace

std::string TRavoGlobals::GetExternalUpdate() { return Globals.ReadString(kExternalUpdate, "1800000", true); }

void TRavoGlobals::SetExternalUpdate(const std::string& interval) {
  Globals.Registry.WriteString(kExternalUpdate, interval);
  if (MainWindow) MainWindow->ExternalUpdateChanged(std::atoi(interval.c_str()));
}

int TRavoGlobals::GetWindowTop() { return Globals.ReadInteger(kTop, 0, false); }
void TRavoGlobals::SetWindowTop(int value) { Globals.Registry.WriteInteger(kTop, value); }
int TRavoGlobals::GetWindowLeft() { return Globals.ReadInteger(kLeft, 0, false); }
void TRavoGlobals::SetWindowLeft(int value) { Globals.Registry.WriteInteger(kLeft, value); }
int TRavoGlobals::GetWindowWidth() { return Globals.ReadInteger(kWidth, 0, false); }
void TRavoGlobals::SetWindowWidth(int value) { Globals.Registry.WriteInteger(kWidth, value); }
int TRavoGlobals::GetWindowHeight() { return Globals.ReadInteger(kHeight, 0, false); }
void TRavoGlobals::SetWindowHeight(int value) { Globals.Registry.WriteInteger(kHeight, value); }
int TRavoGlobals::GetSplitter(int currentHeight) { return Globals.ReadInteger(kSplitter, currentHeight, false); }
void TRavoGlobals::SetSplitter(int value) { Globals.Registry.WriteInteger(kSplitter, value); }

// Always 200 bytes: an absent schedule allows every hour, and a stored block of
// another size is cut or filled with allowed hours rather than refused.
std::string TRavoGlobals::ReadSchedule() {
  std::string schedule = Globals.Registry.ReadBinary(kScheduleList).value_or(std::string(kScheduleSize, '\1'));
  schedule.resize(kScheduleSize, '\1');
  return schedule;
}

void TRavoGlobals::WriteSchedule(const std::string& schedule) {
  std::string block = schedule;
  block.resize(kScheduleSize, '\1');
  Globals.Registry.WriteBinary(kScheduleList, block);
}

bool TRavoGlobals::GetUseSchedule() { return Globals.ReadBool(kUseSchedule, false, true); }
void TRavoGlobals::SetUseSchedule(bool on) { Globals.Registry.WriteBool(kUseSchedule, on); }
bool TRavoGlobals::GetAllowAutodial() { return Globals.ReadBool(kAllowAutodial, false, false); }
void TRavoGlobals::SetAllowAutodial(bool on) { Globals.Registry.WriteBool(kAllowAutodial, on); }
bool TRavoGlobals::GetSmoothScrolling() { return Globals.ReadBool(kSmoothScrolling, true, false); }

void TRavoGlobals::SetSmoothScrolling(bool on) {
  Globals.Registry.WriteBool(kSmoothScrolling, on);
  if (MainWindow) MainWindow->SetSmoothScrolling(on);
}

int TRavoGlobals::GetLogSizeLimit() { return Globals.ReadInteger(kLogSizeLimit, 100, true); }
void TRavoGlobals::SetLogSizeLimit(int limit) { Globals.Registry.WriteInteger(kLogSizeLimit, limit); }
bool TRavoGlobals::GetStayOnline() { return Globals.ReadBool(kStayOnline, false, false); }
void TRavoGlobals::SetStayOnline(bool on) { Globals.Registry.WriteBool(kStayOnline, on); }

namespace {

// A position that is absent, below -1 or beyond the current list is written
// back as -1, which switches the choice off.
int ReadPosition(TRavoGlobals& engine, const std::string& name) {
  auto& registry = engine.Globals.Registry;
  auto stored = registry.ReadInteger(name);
  if (!stored) {
    registry.WriteInteger(name, -1);
    return -1;
  }
  const int last = static_cast<int>(engine.AdapterList(false).size()) - 1;
  if (*stored > last) {
    registry.WriteInteger(name, -1);
    return -1;
  }
  return *stored < -1 ? -1 : *stored;
}

}  // namespace

int TRavoGlobals::GetAdapter() { return ReadPosition(*this, kAdapter); }
void TRavoGlobals::SetAdapter(int position) { Globals.Registry.WriteInteger(kAdapter, position); }
int TRavoGlobals::GetConAdapter() { return ReadPosition(*this, kConAdapter); }
void TRavoGlobals::SetConAdapter(int position) { Globals.Registry.WriteInteger(kConAdapter, position); }

}  // namespace ravo

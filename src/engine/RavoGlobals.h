// TRavoGlobals: the engine object, one per process.  It owns the log, the shared
// update client and the update cycle, the request routine, the adapter and
// address state, the schedule test and the tasks.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/EventLog.h"
#include "core/Globals.h"
#include "engine/Hosts.h"
#include "engine/UpdateItem.h"
#include "platform/Adapters.h"
#include "platform/Clock.h"
#include "platform/HttpClient.h"
#include "platform/Timer.h"

namespace ravo {

// Where the engine's log goes and how it tells the time (tests replace both).
struct EngineSetup {
  std::vector<std::string> args;  // the command line without the program name
  std::string logFolder;          // empty: the executable's folder
  std::string fallbackLogFolder;  // empty: the user's local data folder
  ClockFunction clock;            // empty: the local clock
  // Starts the GET at the end of StartRequest; empty: the client's GetASync.
  std::function<void(HttpClient&)> startGet;
};

class TRavoGlobals {
 public:
  TRavoGlobals(TGlobals& globals, EngineSetup setup);
  ~TRavoGlobals();
  TRavoGlobals(const TRavoGlobals&) = delete;
  TRavoGlobals& operator=(const TRavoGlobals&) = delete;

  // --- Event log
  void LogMessage(const std::string& message);
  void TrimLog();
  const EventLog& Log() const { return LogStream; }

  // --- Settings kept by the engine (same open key as the settings object)
  std::string GetExternalUpdate();
  void SetExternalUpdate(const std::string& interval);
  int GetWindowTop();
  void SetWindowTop(int value);
  int GetWindowLeft();
  void SetWindowLeft(int value);
  int GetWindowWidth();
  void SetWindowWidth(int value);
  int GetWindowHeight();
  void SetWindowHeight(int value);
  int GetSplitter(int currentHeight);
  void SetSplitter(int value);
  std::string ReadSchedule();  // 200 bytes
  void WriteSchedule(const std::string& schedule);
  bool GetUseSchedule();
  void SetUseSchedule(bool on);
  bool GetAllowAutodial();
  void SetAllowAutodial(bool on);
  bool GetSmoothScrolling();
  void SetSmoothScrolling(bool on);
  int GetLogSizeLimit();
  void SetLogSizeLimit(int limit);
  bool GetStayOnline();
  void SetStayOnline(bool on);
  int GetAdapter();
  void SetAdapter(int position);
  int GetConAdapter();
  void SetConAdapter(int position);

  // --- Local addresses
  bool AdapterApiAvailable() const { return adapterQuery_->Available(); }
  // Refilled on every call; plain entries or "address | description".
  const std::vector<std::string>& AdapterList(bool described);

  // --- Requests
  // Starts a GET on the client after the schedule, adapter, proxy, port and
  // dial-up rules; or completes it at once with 666 or 667.
  void StartRequest(HttpClient& client, bool obeySchedule);
  std::string ServerUrl(std::string_view path);  // http://server:8245/path

  // --- Schedule
  int RefusalHour = -1;
  int DelayToNextHour();

  // --- Retry delay shared by the address check, host list and updates
  int RetryDelay = 30000;
  void ResetRetryDelay() { RetryDelay = 30000; }
  int NextRetryDelay();

  // --- Public address
  std::string CurrentAddress;

  // --- Update cycle
  void RunUpdate(TUpdateList items, bool obeySchedule);
  void UpdateDone(HttpClient& sender, HttpRequest kind, int error);
  void UpdateSingleItem(TUpdateItem& item);
  void ItemUpdateDone(TUpdateItem& item, HttpClient& sender, HttpRequest kind, int error);
  void ReportResult(TUpdateItem& item, int code);
  void RetireClientVersion(HttpClient& client);

  TUpdateList Batch;
  bool LastBatch = false;
  HttpClient UpdateClient;

  // --- Tasks
  void RunTasks();
  std::pair<std::string, std::string> SplitCommand(const std::string& command) const;

  // The process-wide owners: set while the desktop window exists / in the service.
  TDesktopHost* MainWindow = nullptr;
  TServiceHost* Service = nullptr;

  TGlobals& Globals;
  const std::vector<std::string>& Args() const { return setup_.args; }
  LocalTime Now() const { return setup_.clock ? setup_.clock() : LocalNow(); }
  bool ServiceMode() const { return !setup_.args.empty() && setup_.args[0] == "-service"; }

 private:
  TUpdateItem* FindUpdateItem(const std::string& name, bool isGroup);
  bool WaitForUpdateClient();
  bool ScheduleRefuses(HttpClient& client);
  void StartGet(HttpClient& client);

  EngineSetup setup_;
  EventLog LogStream;
  Timer LogTrimTimer;
  std::unique_ptr<AdapterQuery> adapterQuery_;
  std::vector<std::string> addressList_;
};

}  // namespace ravo

#include "engine/RavoGlobals.h"

#include "core/Constants.h"
#include "platform/Identity.h"

namespace ravo {

namespace {

constexpr unsigned kLogTrimInterval = 43200000;  // 12 hours

}  // namespace

TRavoGlobals::TRavoGlobals(TGlobals& globals, EngineSetup setup)
    : Globals(globals), setup_(std::move(setup)) {
  adapterQuery_ = std::make_unique<AdapterQuery>();
  ResetRetryDelay();
  UpdateClient.Agent = std::string(kUserAgentPrefix) + std::string(kVersion);
  UpdateClient.NoCache = true;
  UpdateClient.OnRequestDone = [this](HttpClient& sender, HttpRequest kind, int error) {
    UpdateDone(sender, kind, error);
  };
  RefusalHour = -1;
  LogTrimTimer.SetInterval(kLogTrimInterval);
  LogTrimTimer.OnTimer = [this] { TrimLog(); };
  LogTrimTimer.Start();

  const std::string folder = setup_.logFolder.empty() ? ExecutableFolder() : setup_.logFolder;
  const std::string fallback =
      setup_.fallbackLogFolder.empty() ? LocalDataFolder() : setup_.fallbackLogFolder;
  LogStream.Open(folder, fallback, ServiceMode(), UserName());
  LogMessage("***Logging started.***");
}

TRavoGlobals::~TRavoGlobals() {
  LogTrimTimer.Stop();
  LogMessage("***Logging ending.***");
  LogStream.Close();
}

// Never fails: without a log file (no folder could be written) the message
// still reaches the console.
void TRavoGlobals::LogMessage(const std::string& message) {
  if (MainWindow) MainWindow->AddConsoleMessage(message);
  LogStream.Write(message, Now());
}

void TRavoGlobals::TrimLog() {
  const int limit = GetLogSizeLimit();
  LogStream.Trim(static_cast<std::uint64_t>(limit < 0 ? 0 : limit) * 1024);
}

}  // namespace ravo

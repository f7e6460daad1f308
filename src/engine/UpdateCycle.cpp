// The update cycle: batches of checked items through the shared client, the
// answers, the retries, the tasks after a complete run, and the retirement.
#include <algorithm>
#include <cctype>

#include "core/Codecs.h"
#include "core/Constants.h"
#include "core/ResultCode.h"
#include "core/Texts.h"
#include "engine/RavoGlobals.h"
#include "platform/Loop.h"
#include "platform/ServiceControl.h"

namespace ravo {

namespace {

// A batch URL (before the "ip" key and the protection) stays under 1498 bytes,
// so that its Base64 form stays under 2000 characters.
constexpr std::size_t kMaxBase64Length = 2000;

std::vector<std::string> SplitLines(const std::string& body) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool IsOnceArgument(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  std::string first(TrimControl(args[0]));
  std::transform(first.begin(), first.end(), first.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return first == "-once";
}

}  // namespace

// Waits (100 ms steps, handling messages) until the shared client is free;
// false when the program is ending.
bool TRavoGlobals::WaitForUpdateClient() {
  while (UpdateClient.Busy()) {
    Loop::Sleep(100);
    if (Service) {
      if (Service->Stopping()) return false;
      Loop::PumpOne();
    } else {
      if (Loop::Terminating()) return false;
      Loop::ProcessMessages();
    }
  }
  return true;
}

void TRavoGlobals::RunUpdate(TUpdateList items, bool obeySchedule) {
  Batch.assign(1, nullptr);  // not taken for a failed batch on the first pass
  if (MainWindow) MainWindow->RetryUpdateTimer().Tag = obeySchedule ? 1 : 0;
  bool failed = false;
  while (!items.empty()) {
    Loop::ProcessMessages();
    if (!WaitForUpdateClient()) return;
    if (Batch.empty()) {
      failed = true;
      break;
    }
    Batch.clear();
    std::string url = ServerUrl(kUpdatePath) + "?username=" + Globals.GetUsername() +
                      "&pass=" + EscapeUrlText(Globals.GetPassword());
    while (!items.empty()) {
      TUpdateItem* item = items.back();
      if (Base64Encode(url + "&h[]=" + item->Name).size() >= kMaxBase64Length) break;
      if (MainWindow) MainWindow->SetItemImage(item->Row, kImageWaiting);
      url += (item->IsGroup ? "&g[]=" : "&h[]=") + item->Name;
      Batch.push_back(item);
      items.pop_back();
    }
    UpdateClient.RcvdStream = std::make_unique<std::string>();
    const int adapter = GetAdapter();
    if (adapter != -1) {
      const auto& list = AdapterList(false);
      if (static_cast<std::size_t>(adapter) < list.size()) url += "&ip=" + list[static_cast<std::size_t>(adapter)];
    }
    UpdateClient.URL = Globals.ProtectQuery(url);
    LastBatch = items.empty();
    StartRequest(UpdateClient, obeySchedule);
  }
  if (!failed) return;
  if (MainWindow) {
    for (TUpdateItem* item : items) MainWindow->SetItemImage(item->Row, kImageRetry);
  }
  items.clear();
  Batch.clear();
}

void TRavoGlobals::UpdateDone(HttpClient& sender, HttpRequest, int error) {
  if (error == 0) {
    ResetRetryDelay();
    const std::string body = UpdateClient.RcvdStream ? *UpdateClient.RcvdStream : std::string();
    for (const std::string& line : SplitLines(body)) {
      if (error != 0) break;
      const auto colon = line.find(':');
      const std::string name = colon == std::string::npos ? std::string() : line.substr(0, colon);
      TUpdateItem* item = FindUpdateItem(name, false);
      if (!item) item = FindUpdateItem(name, true);
      if (!item) continue;
      const int code = ParseResultCode(line);
      if (code == 99) {
        RetireClientVersion(sender);
        return;
      }
      ReportResult(*item, code);
      if (code == -1) error = 1;
    }
    if (LastBatch) {
      RunTasks();
      if (MainWindow && IsOnceArgument(Args())) MainWindow->LogExit1Click();
    }
  }
  if (error != 0) {
    Timer* retry = MainWindow ? &MainWindow->RetryUpdateTimer() : Service ? &Service->UpdateAllTimer() : nullptr;
    if (error == kScheduleRefused) {
      if (retry) retry->SetInterval(static_cast<unsigned>(DelayToNextHour()));
      if (MainWindow) {
        for (TUpdateItem* item : Batch) {
          if (item && MainWindow->RowChecked(item->Row)) MainWindow->SetItemImage(item->Row, kImageScheduled);
        }
      }
    } else {
      const int delay = NextRetryDelay();
      if (retry) retry->SetInterval(static_cast<unsigned>(delay));
      if (MainWindow) {
        for (TUpdateItem* item : Batch) {
          if (item && MainWindow->RowChecked(item->Row)) MainWindow->SetItemImage(item->Row, kImageRetry);
        }
      }
      LogMessage(text::kBatchFailed + std::to_string(delay / 1000) + text::kSeconds);
      Batch.clear();
    }
    if (retry) retry->Start();
  }
  UpdateClient.RcvdStream.reset();
  if (MainWindow) MainWindow->EnableEditTimer().Start();
}

void TRavoGlobals::UpdateSingleItem(TUpdateItem& item) {
  if (!MainWindow || item.Client) return;
  item.Client = std::make_unique<HttpClient>();
  HttpClient& client = *item.Client;
  client.Agent = std::string(kUserAgentPrefix) + std::string(kVersion);
  client.NoCache = true;
  client.OnRequestDone = [this, &item](HttpClient& sender, HttpRequest kind, int error) {
    ItemUpdateDone(item, sender, kind, error);
  };
  MainWindow->SetItemImage(item.Row, kImageWaiting);
  std::string url = ServerUrl(kUpdatePath) + "?username=" + Globals.GetUsername() +
                    "&pass=" + EscapeUrlText(Globals.GetPassword());
  if (item.IsGroup) {
    LogMessage("Updating group: " + item.Name);
    url += "&g[]=" + item.Name;
  } else {
    LogMessage(text::kUpdatingHost + item.Name);
    url += "&h[]=" + item.Name;
  }
  client.RcvdStream = std::make_unique<std::string>();
  const int adapter = GetAdapter();
  if (adapter != -1) {
    const auto& list = AdapterList(false);
    if (static_cast<std::size_t>(adapter) < list.size()) url += "&ip=" + list[static_cast<std::size_t>(adapter)];
  }
  client.URL = Globals.ProtectQuery(url);
  StartRequest(client, false);
}

void TRavoGlobals::ItemUpdateDone(TUpdateItem& item, HttpClient& sender, HttpRequest, int error) {
  if (!MainWindow) return;  // the window is gone: nothing left to report to
  if (error == 0) {
    ResetRetryDelay();
    const std::string text = sender.RcvdStream ? sender.RcvdStream->substr(0, 255) : std::string();
    const int code = ParseResultCode(text);
    if (code == 99) {
      RetireClientVersion(sender);
      return;
    }
    ReportResult(item, code);
    if (code == -1) error = 1;
  }
  if (error != 0) {
    Timer& retry = MainWindow->RetryUpdateTimer();
    if (error == kScheduleRefused) {
      retry.SetInterval(static_cast<unsigned>(DelayToNextHour()));
      MainWindow->SetItemImage(item.Row, kImageScheduled);
    } else {
      const int delay = NextRetryDelay();
      retry.SetInterval(static_cast<unsigned>(delay));
      MainWindow->SetItemImage(item.Row, kImageRetry);
      LogMessage(item.Name + text::kResultUnreachable + std::to_string(delay / 1000) + text::kSeconds);
    }
    retry.Start();
  }
  sender.RcvdStream.reset();
  MainWindow->EnableEditTimer().Start();
  MainWindow->ReleaseItemClient(item.Row);
}

void TRavoGlobals::RetireClientVersion(HttpClient& client) {
  if (MainWindow) MainWindow->ShowRetirementMessage();
  // The marker makes every later start end at once with the retirement message.
  Globals.Registry.WriteString(std::string(kRetirementMarkerPrefix) + std::string(kVersion), "1");
  client.Abort();
  const std::string service(kServiceName);
  if (ServiceInstalled(service)) {
    if (ServiceRunning(service)) StopService(service);
    UninstallService(service);
  }
  Loop::Terminate();
}

}  // namespace ravo

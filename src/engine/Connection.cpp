// The one routine through which every request of the program starts.
#include "core/Constants.h"
#include "engine/RavoGlobals.h"

namespace ravo {

namespace {

const std::string kEnableAutodial = "EnableAutodial";
const std::string kOldEnableAutodial = "OldEnableAutodial";

}  // namespace

std::string TRavoGlobals::ServerUrl(std::string_view path) {
  return "http://" + Globals.GetUpdateServer() + ":" + std::string(kUpdatePort) + std::string(path);
}

void TRavoGlobals::StartGet(HttpClient& client) {
  if (setup_.startGet) {
    setup_.startGet(client);
  } else {
    client.GetASync();
  }
}

void TRavoGlobals::StartRequest(HttpClient& client, bool obeySchedule) {
  if (!client.Ready()) return;
  if (obeySchedule && GetUseSchedule() && ScheduleRefuses(client)) return;
  RefusalHour = -1;

  const int conAdapter = GetConAdapter();
  if (conAdapter != -1) {
    // The list is read again: an adapter that vanished since counts as unusable.
    const auto& list = AdapterList(false);
    const std::string address =
        static_cast<std::size_t>(conAdapter) < list.size() ? list[static_cast<std::size_t>(conAdapter)] : "0.0.0.0";
    if (address == "0.0.0.0" || address == "127.0.0.1") {
      if (client.OnRequestDone) client.OnRequestDone(client, HttpRequest::Get, kNoConnectionAdapter);
      return;
    }
    client.LocalAddr = address;
  } else {
    client.LocalAddr = "0.0.0.0";
  }

  if (MainWindow) {
    MainWindow->SetEditButtonsEnabled(false);
    MainWindow->EnableEditTimer().Stop();
  }

  client.Proxy = Globals.GetProxyAddress();
  client.ProxyPort = Globals.GetProxyPort();
  client.ProxyUsername = Globals.GetProxyUsername();
  client.ProxyPassword = Globals.GetProxyPassword();

  if (Globals.GetAltPort()) {
    const auto at = client.URL.find(kUpdatePort);
    if (at != std::string::npos) client.URL.replace(at, kUpdatePort.size(), kAltPort);
  }

  if (GetAllowAutodial()) {
    StartGet(client);
    return;
  }
  // The system's automatic-dial switch is parked under another name while the
  // request starts, so that starting it cannot bring up a dial-up prompt.  No
  // other event runs in between: nobody sees the key moved.
  auto& registry = Globals.Registry;
  const RegistryRoot rememberedRoot = registry.Root();
  const std::string rememberedPath = registry.CurrentPath();
  registry.SetRoot(RegistryRoot::CurrentUser);
  const bool opened = registry.OpenKey(std::string(kInternetSettingsPath), false);
  if (opened && registry.ValueExists(kEnableAutodial) && !registry.ValueExists(kOldEnableAutodial)) {
    registry.RenameValue(kEnableAutodial, kOldEnableAutodial);
  }
  StartGet(client);
  if (opened && registry.ValueExists(kOldEnableAutodial) && !registry.ValueExists(kEnableAutodial)) {
    registry.RenameValue(kOldEnableAutodial, kEnableAutodial);
  }
  registry.SetRoot(rememberedRoot);
  registry.OpenKey(rememberedPath, false);
}

}  // namespace ravo

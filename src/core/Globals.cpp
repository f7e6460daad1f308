#include "core/Globals.h"

#include "core/Codecs.h"
#include "core/Constants.h"
#include "core/ResultCode.h"
#include "platform/Identity.h"

namespace ravo {

namespace {

const std::string kUsername = "Username";
const std::string kPassword = "Password";
const std::string kChecked = "Checked";
const std::string kAltPortValue = "AltPort";
const std::string kUseProxy = "UseProxy";
const std::string kProxyAddress = "ProxyAddress";
const std::string kProxyPort = "ProxyPort";
const std::string kProxyAuth = "ProxyAuth";
const std::string kProxyUsername = "ProxyUsername";
const std::string kProxyPassword = "ProxyPassword";

}  // namespace

TGlobals::TGlobals() : TGlobals(UserIsAdmin() ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser) {}

TGlobals::TGlobals(RegistryRoot root) : KeyPath(kKeyPath), mainRoot_(root) {
  Registry.SetRoot(root);
  Registry.OpenKey(KeyPath, true);
}

TGlobals::~TGlobals() { Registry.CloseKey(); }

bool TGlobals::OpenMainKey() {
  Registry.SetRoot(mainRoot_);
  return Registry.OpenKey(KeyPath, true);
}

std::string TGlobals::EscapeUrlText(std::string_view text) const { return ravo::EscapeUrlText(text); }
std::string TGlobals::Base64Encode(std::string_view bytes) const { return ravo::Base64Encode(bytes); }
std::string TGlobals::Base64Decode(std::string_view text) const { return ravo::Base64Decode(text); }
std::string TGlobals::XorWithKey(std::string_view data, std::string_view key) const {
  return ravo::XorWithKey(data, key);
}
std::string TGlobals::ProtectQuery(std::string_view url) const { return ravo::ProtectQuery(url, kQueryKey); }
int TGlobals::ParseResultCode(std::string_view line) const { return ravo::ParseResultCode(line); }

// A value of another type than the program writes counts as absent, so a
// hand-edited value of the wrong type falls back to the default.
bool TGlobals::ReadBool(const std::string& name, bool fallback, bool create) {
  if (auto value = Registry.ReadBool(name)) return *value;
  if (create) Registry.WriteBool(name, fallback);
  return fallback;
}

int TGlobals::ReadInteger(const std::string& name, int fallback, bool create) {
  if (auto value = Registry.ReadInteger(name)) return *value;
  if (create) Registry.WriteInteger(name, fallback);
  return fallback;
}

std::string TGlobals::ReadString(const std::string& name, const std::string& fallback, bool create) {
  if (auto value = Registry.ReadString(name)) return *value;
  if (create) Registry.WriteString(name, fallback);
  return fallback;
}

std::string TGlobals::GetUsername() { return ReadString(kUsername, "", false); }

void TGlobals::SetUsername(const std::string& name) {
  if (GetUsername() == name) return;
  Registry.WriteString(kUsername, name);
  Registry.WriteString(kChecked, "");
}

std::string TGlobals::GetPassword() { return Base64Decode(ReadString(kPassword, "", false)); }
void TGlobals::SetPassword(const std::string& password) {
  Registry.WriteString(kPassword, Base64Encode(password));
}

bool TGlobals::GetAltPort() { return ReadBool(kAltPortValue, false, true); }
void TGlobals::SetAltPort(bool on) { Registry.WriteBool(kAltPortValue, on); }
bool TGlobals::GetUseProxy() { return ReadBool(kUseProxy, false, true); }
void TGlobals::SetUseProxy(bool on) { Registry.WriteBool(kUseProxy, on); }
std::string TGlobals::GetProxyAddress() { return ReadString(kProxyAddress, "", true); }
void TGlobals::SetProxyAddress(const std::string& host) { Registry.WriteString(kProxyAddress, host); }
std::string TGlobals::GetProxyPort() { return ReadString(kProxyPort, "8080", true); }
void TGlobals::SetProxyPort(const std::string& port) { Registry.WriteString(kProxyPort, port); }
bool TGlobals::GetProxyAuth() { return ReadBool(kProxyAuth, false, true); }
void TGlobals::SetProxyAuth(bool on) { Registry.WriteBool(kProxyAuth, on); }
std::string TGlobals::GetProxyUsername() { return ReadString(kProxyUsername, "", true); }
void TGlobals::SetProxyUsername(const std::string& name) { Registry.WriteString(kProxyUsername, name); }
std::string TGlobals::GetProxyPassword() { return Base64Decode(ReadString(kProxyPassword, "", true)); }
void TGlobals::SetProxyPassword(const std::string& password) {
  Registry.WriteString(kProxyPassword, Base64Encode(password));
}

std::string TGlobals::GetUpdateServer() {
  const std::string host = ReadString(std::string(kUpdateServerValue), "", false);
  return host.empty() ? std::string(kUpdateServerHost) : host;
}

}  // namespace ravo

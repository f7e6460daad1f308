// TGlobals: the settings object, one per process.  It keeps the program's
// registry key open for the life of the process and offers the typed settings,
// the text codecs and the reading of result codes.  Nothing is cached: every
// accessor goes to the registry.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace ravo {

class TGlobals {
 public:
  // Chooses the root by the administrator test.
  TGlobals();
  // The root given (tests take both roots without changing the account).
  explicit TGlobals(RegistryRoot root);
  ~TGlobals();
  TGlobals(const TGlobals&) = delete;
  TGlobals& operator=(const TGlobals&) = delete;

  std::string KeyPath;
  ravo::Registry Registry;  // the open key; the main key except while moved

  // The root chosen at creation, where the main key lives.
  RegistryRoot MainRoot() const { return mainRoot_; }
  // Puts the key back on the main key, creation allowed (after a key movement).
  bool OpenMainKey();

  // Text codecs; ProtectQuery uses the program's query key.
  std::string EscapeUrlText(std::string_view text) const;
  std::string Base64Encode(std::string_view bytes) const;
  std::string Base64Decode(std::string_view text) const;
  std::string XorWithKey(std::string_view data, std::string_view key) const;
  std::string ProtectQuery(std::string_view url) const;

  // The result code of one answer line, or -1.
  int ParseResultCode(std::string_view line) const;

  // Account.
  std::string GetUsername();
  void SetUsername(const std::string& name);  // a new name also empties "Checked"
  std::string GetPassword();
  void SetPassword(const std::string& password);

  // Connection options.
  bool GetAltPort();
  void SetAltPort(bool on);
  bool GetUseProxy();
  void SetUseProxy(bool on);
  std::string GetProxyAddress();
  void SetProxyAddress(const std::string& host);
  std::string GetProxyPort();
  void SetProxyPort(const std::string& port);
  bool GetProxyAuth();
  void SetProxyAuth(bool on);
  std::string GetProxyUsername();
  void SetProxyUsername(const std::string& name);
  std::string GetProxyPassword();
  void SetProxyPassword(const std::string& password);

  // The update server's host: the "UpdateServer" value when present, else the
  // built-in host.
  std::string GetUpdateServer();

  // Typed reads of the open key with the default rule of the settings: `create`
  // writes the default when the value is absent (or unusable).
  bool ReadBool(const std::string& name, bool fallback, bool create);
  int ReadInteger(const std::string& name, int fallback, bool create);
  std::string ReadString(const std::string& name, const std::string& fallback, bool create);

 private:
  RegistryRoot mainRoot_;
};

}  // namespace ravo

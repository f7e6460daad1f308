#include <windows.h>
#include <lmcons.h>
#include <shlobj.h>

#include <vector>

#include "platform/Identity.h"
#include "platform/win32/Wide.h"

namespace ravo {

// Asks with a buffer of UNLEN + 1 characters (the longest name the system
// allows) and grows it when the system says it is too small, so no name is cut.
std::string UserName() {
  std::vector<wchar_t> buffer(UNLEN + 1);
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!GetUserNameW(buffer.data(), &size)) {
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) return {};
    buffer.resize(size);
    if (!GetUserNameW(buffer.data(), &size)) return {};
  }
  return WideToCp950(buffer.data());
}

namespace {

bool TokenHoldsAdministrators(HANDLE token) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  bool found = false;
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size > 0) {
    std::vector<BYTE> buffer(size);
    if (GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
      const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
      for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
        found = EqualSid(groups->Groups[i].Sid, administrators) != FALSE;
      }
    }
  }
  FreeSid(administrators);
  return found;
}

}  // namespace

bool UserIsAdmin() {
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    const DWORD error = GetLastError();
    if (error != ERROR_NO_TOKEN) return false;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  }
  const bool admin = TokenHoldsAdministrators(token);
  CloseHandle(token);
  return admin;
}

namespace {

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string ExecutablePath() { return WideToCp950(ModulePath()); }

// Cut in UTF-16: the second byte of a Big5 character can be a backslash.
std::string ExecutableFolder() {
  const std::wstring path = ModulePath();
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::string() : WideToCp950(path.substr(0, slash + 1));
}

std::string LocalDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return {};
  }
  return WideToCp950(path) + "\\Ravo\\";
}

char PathSeparator() { return '\\'; }

}  // namespace ravo

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

// <shellapi.h> maps ShellExecute to ShellExecuteW; ours is the function below.
#undef ShellExecute

#include "platform/Shell.h"
#include "platform/win32/Wide.h"

namespace ravo {

// The shell may hand the file to an extension that needs COM on this thread;
// an apartment that the thread already has is left as it is.  An empty verb is
// the file type's default verb; empty parameters are none.
void ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters) {
  const std::wstring wideVerb = Cp950ToWide(verb);
  const std::wstring wideFile = Cp950ToWide(file);
  const std::wstring wideParameters = Cp950ToWide(parameters);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ShellExecuteW(nullptr, wideVerb.empty() ? nullptr : wideVerb.c_str(), wideFile.c_str(),
                wideParameters.empty() ? nullptr : wideParameters.c_str(), nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace ravo

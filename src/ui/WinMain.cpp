// The Windows entry point: the command line in code page 950, then the program.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "app/Program.h"
#include "app/RavoService.h"
#include "app/Uninstall.h"
#include "core/Constants.h"
#include "platform/DesktopWindow.h"
#include "platform/ServiceHost.h"
#include "platform/win32/Wide.h"
#include "ui/MainWindow.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::string> args;
  int count = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) args.push_back(ravo::WideToCp950(argv[i]));
    LocalFree(argv);
  }

  ravo::ProgramParts parts;
  parts.forwardToRunningCopy = [] {
    return ravo::SendToDesktopWindow(std::string(ravo::kWindowClass), ravo::DesktopWindowTitle(),
                                     ravo::kWmSecondInstance, 0, 0);
  };
  parts.runDesktop = ravo::RunDesktop;
  parts.runService = [](ravo::TGlobals&, ravo::TRavoGlobals& engine) {
    ravo::TVarnelRavoService service(engine);
    ravo::RunService(std::string(ravo::kServiceName), service);
  };
  parts.runUninstall = ravo::RunUninstall;
  return ravo::RunProgram(args, std::move(parts));
}

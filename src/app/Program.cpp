#include "app/Program.h"

#include <cstdlib>
#include <ctime>

#include "core/Constants.h"

namespace ravo {

ProgramMode ChooseMode(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "-service") return ProgramMode::Service;
  if (!args.empty() && args[0] == "-uninstall") return ProgramMode::Uninstall;
  return ProgramMode::Desktop;
}

std::string DesktopWindowTitle() { return std::string(kWindowTitlePrefix) + std::string(kVersion); }

int RunProgram(const std::vector<std::string>& args, ProgramParts parts) {
  // The keep-alive site choice draws from the random generator.
  std::srand(static_cast<unsigned>(std::time(nullptr)));

  std::unique_ptr<TGlobals> globals = parts.makeGlobals ? parts.makeGlobals() : std::make_unique<TGlobals>();
  EngineSetup setup = std::move(parts.engineSetup);
  setup.args = args;
  {
    TRavoGlobals engine(*globals, std::move(setup));
    switch (ChooseMode(args)) {
      case ProgramMode::Service:
        engine.TrimLog();
        if (parts.runService) parts.runService(*globals, engine);
        break;
      case ProgramMode::Uninstall:
        if (parts.runUninstall) parts.runUninstall(*globals, engine);
        break;
      case ProgramMode::Desktop:
        if (parts.forwardToRunningCopy && parts.forwardToRunningCopy()) {
          engine.LogMessage("Ravo already running, switching to running copy.");
          break;
        }
        engine.TrimLog();
        if (parts.runDesktop) parts.runDesktop(*globals, engine);
        // Code that runs during shutdown sees no window.
        engine.MainWindow = nullptr;
        break;
    }
  }  // the engine goes first, the settings object last
  return 0;
}

}  // namespace ravo

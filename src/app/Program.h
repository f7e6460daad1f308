// The program's entry: the start-up order and the dispatch on the first argument.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Globals.h"
#include "engine/RavoGlobals.h"

namespace ravo {

enum class ProgramMode { Service, Uninstall, Desktop };

// Only the first argument counts, compared exactly.
ProgramMode ChooseMode(const std::vector<std::string>& args);

// The parts of the start that live in the windowing layer (ui/) or the system.
struct ProgramParts {
  // Sends WM_SECOND_INSTANCE to a running desktop copy; false when none runs.
  std::function<bool()> forwardToRunningCopy;
  // Creates the main window and runs the message loop until the application ends.
  std::function<void(TGlobals&, TRavoGlobals&)> runDesktop;
  // Runs the service module under the control manager.
  std::function<void(TGlobals&, TRavoGlobals&)> runService;
  std::function<void(TGlobals&, TRavoGlobals&)> runUninstall;
  // Settings object and engine setup (tests choose the root and the log folder).
  std::function<std::unique_ptr<TGlobals>()> makeGlobals;
  EngineSetup engineSetup;
};

int RunProgram(const std::vector<std::string>& args, ProgramParts parts);

// The desktop window's identity: class TRavo, title "Varnel Ravo v2.1.5".
std::string DesktopWindowTitle();

}  // namespace ravo

// The "-uninstall" command.
#pragma once

#include "core/Globals.h"
#include "engine/RavoGlobals.h"

namespace ravo {

void RunUninstall(TGlobals& globals, TRavoGlobals& engine);

}  // namespace ravo

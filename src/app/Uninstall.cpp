#include "app/Uninstall.h"

namespace ravo {

// The uninstall sequence (service, shortcut, settings, files) is not built yet:
// the command starts, logs its start and end, and changes nothing.
void RunUninstall(TGlobals&, TRavoGlobals&) {}

}  // namespace ravo

#include "platform/ServiceHost.h"

namespace ravo {

// There is no service control manager on Linux: the process was never started
// by one.
bool RunService(const std::string&, ServiceModule&) { return false; }

}  // namespace ravo

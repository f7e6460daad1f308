// Runs a service module under the service control manager.  The module's
// handlers all run on the calling (main) thread, from its message loop; the
// control manager's threads only hand start and stop over and wait.
#pragma once

#include <string>

namespace ravo {

class ServiceModule {
 public:
  virtual ~ServiceModule() = default;
  virtual void ServiceCreate() = 0;
  virtual void ServiceStart() = 0;   // then the service reports running
  virtual void ServiceStop() = 0;    // after the service reported stop pending
  virtual void ServiceDestroy() = 0;
};

// Connects to the control manager and runs the loop until the service has
// stopped or the loop is terminated; false when the process was not started by
// the control manager (then no handler runs).
bool RunService(const std::string& name, ServiceModule& module);

}  // namespace ravo

// TVarnelRavoService: the service module of the "-service" mode.
#pragma once

#include <list>
#include <memory>

#include "engine/Hosts.h"
#include "engine/RavoGlobals.h"
#include "platform/ServiceHost.h"
#include "platform/Timer.h"

namespace ravo {

class TVarnelRavoService : public ServiceModule, public TServiceHost {
 public:
  explicit TVarnelRavoService(TRavoGlobals& engine);
  ~TVarnelRavoService() override;

  // ServiceModule
  void ServiceCreate() override;
  void ServiceStart() override;
  void ServiceStop() override;
  void ServiceDestroy() override;

  // TServiceHost
  bool Stopping() const override { return stopping_; }
  Timer& UpdateAllTimer() override { return UpdateAllTimerObject; }
  TUpdateItem* FindUpdateItem(const std::string& name, bool isGroup) override;

  Timer UpdateAllTimerObject{100};
  std::list<std::unique_ptr<TUpdateItem>> UpdateItems;

 private:
  TRavoGlobals& engine_;
  bool stopping_ = false;
};

}  // namespace ravo

#include "app/RavoService.h"

namespace ravo {

TVarnelRavoService::TVarnelRavoService(TRavoGlobals& engine) : engine_(engine) { engine_.Service = this; }

TVarnelRavoService::~TVarnelRavoService() {
  if (engine_.Service == this) engine_.Service = nullptr;
}

void TVarnelRavoService::ServiceCreate() { stopping_ = false; }
void TVarnelRavoService::ServiceStart() {}
void TVarnelRavoService::ServiceStop() { stopping_ = true; }
void TVarnelRavoService::ServiceDestroy() { UpdateItems.clear(); }

TUpdateItem* TVarnelRavoService::FindUpdateItem(const std::string& name, bool isGroup) {
  for (auto& item : UpdateItems) {
    if (item->IsGroup == isGroup && item->Name == name) return item.get();
  }
  return nullptr;
}

}  // namespace ravo

#include "engine/RavoGlobals.h"

namespace ravo {

const std::vector<std::string>& TRavoGlobals::AdapterList(bool described) {
  addressList_.clear();
  if (adapterQuery_->Available()) {
    for (const auto& entry : adapterQuery_->Query()) {
      addressList_.push_back(described ? entry.address + " | " + entry.description : entry.address);
    }
  } else {
    for (const auto& address : SocketLayerAddresses()) {
      addressList_.push_back(described ? address + " | Unidentified" : address);
    }
  }
  return addressList_;
}

}  // namespace ravo

// The computer's own IPv4 addresses: the adapter query of the IP helper library,
// loaded at run time, and the socket layer's list as the fallback.
#pragma once

#include <string>
#include <vector>

namespace ravo {

struct AdapterAddress {
  std::string address;      // dotted IPv4, "0.0.0.0" for an adapter without one
  std::string description;  // the adapter's description
};

class AdapterQuery {
 public:
  // Loads the library and probes the query; Available() tells the outcome.
  AdapterQuery();
  ~AdapterQuery();
  AdapterQuery(const AdapterQuery&) = delete;
  AdapterQuery& operator=(const AdapterQuery&) = delete;

  bool Available() const { return function_ != nullptr; }
  // One entry per address of every adapter, in the order the system reports.
  std::vector<AdapterAddress> Query() const;

 private:
  void* library_ = nullptr;
  void* function_ = nullptr;
};

// The host's own IPv4 addresses as the socket layer reports them.
std::vector<std::string> SocketLayerAddresses();

}  // namespace ravo

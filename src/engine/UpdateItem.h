// One host or group that the client can update, and non-owning lists of them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/HttpClient.h"

namespace ravo {

struct THostRow;  // a row of the desktop window's host list (network/HostRows.h)

class TUpdateItem {
 public:
  TUpdateItem() = default;
  ~TUpdateItem();
  TUpdateItem(const TUpdateItem&) = delete;
  TUpdateItem& operator=(const TUpdateItem&) = delete;

  // Aborts and frees the client of a single-item update; no completion follows.
  void ReleaseClient();

  std::unique_ptr<HttpClient> Client;  // while a single-item update is in flight
  bool IsGroup = false;
  std::string Name;                    // as written in the host list answer
  std::vector<std::string> Members;    // group: its hosts; host: its own name
  THostRow* Row = nullptr;             // desktop only
  bool WasChecked = false;
};

using TUpdateList = std::vector<TUpdateItem*>;

}  // namespace ravo

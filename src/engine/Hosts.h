// What the engine needs of the process's two possible owners: the desktop
// window (network/Ravo.h) and the service module.  The engine reaches them
// through TRavoGlobals::MainWindow and TRavoGlobals::Service.
#pragma once

#include <string>

#include "engine/UpdateItem.h"
#include "platform/Timer.h"

namespace ravo {

class TDesktopHost {
 public:
  virtual ~TDesktopHost() = default;
  // A row's state image; an unchecked row shows image 1 whatever is asked.
  virtual void SetItemImage(THostRow* row, int image) = 0;
  virtual bool RowChecked(const THostRow* row) const = 0;
  virtual TUpdateItem* FindUpdateItem(const std::string& name, bool isGroup) = 0;
  virtual Timer& RetryUpdateTimer() = 0;
  virtual Timer& EnableEditTimer() = 0;
  // The account and options buttons (disabled while a request starts).
  virtual void SetEditButtonsEnabled(bool enabled) = 0;
  // WM_RELEASE_ITEM_CLIENT for the row, handled before this returns.
  virtual void ReleaseItemClient(THostRow* row) = 0;
  virtual void LogExit1Click() = 0;
  virtual void ShowRetirementMessage() = 0;
  // A logged message also goes to the console view.
  virtual void AddConsoleMessage(const std::string& message) = 0;
  virtual void ExternalUpdateChanged(int interval) = 0;
  virtual void SetSmoothScrolling(bool on) = 0;
};

class TServiceHost {
 public:
  virtual ~TServiceHost() = default;
  virtual bool Stopping() const = 0;
  virtual Timer& UpdateAllTimer() = 0;
  virtual TUpdateItem* FindUpdateItem(const std::string& name, bool isGroup) = 0;
};

}  // namespace ravo

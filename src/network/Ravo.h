// TRavo: the desktop window's controller.  It holds the window's state, timers
// and host list rows as a model; the Win32 window (ui/) renders it through
// TRavoView and forwards user input and window messages to it.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "engine/Hosts.h"
#include "engine/RavoGlobals.h"
#include "network/HostRows.h"
#include "platform/Timer.h"

namespace ravo {

// What the controller asks of the window on screen.
class TRavoView {
 public:
  virtual ~TRavoView() = default;
  virtual void ConsoleAdd(const std::string& message) = 0;
  virtual void RowsChanged() = 0;
  virtual void SetEditButtonsEnabled(bool enabled) = 0;
  // Closes the main window; the application ends with it.
  virtual void CloseWindow() = 0;
  virtual void ShowRetirementMessage(const std::string& text) = 0;
  virtual void SetSmoothScrolling(bool on) = 0;
};

class TRavo : public TDesktopHost {
 public:
  TRavo(TRavoGlobals& engine, TRavoView& view);
  ~TRavo() override;
  TRavo(const TRavo&) = delete;
  TRavo& operator=(const TRavo&) = delete;

  // --- Host list rows
  void ResetHostList();
  // Adds a row for a new item (unchecked, image 1) and returns it.
  THostRow& AddItemRow(std::unique_ptr<TUpdateItem> item);
  std::list<THostRow>& Rows() { return rows_; }
  THostRow* GroupHeaderRow() { return &rows_.front(); }
  THostRow* HostHeaderRow() { return &*std::next(rows_.begin()); }
  void SetRowChecked(THostRow& row, bool checked);

  // --- The update of all checked items
  void StartUpdateAll() { UpdateAll.Start(); }
  void UpdateAllTimer();
  void RetryUpdateTimerTimer();

  // --- Window messages
  bool HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  bool MayClose = false;
  std::string RetirementMessage;

  Timer UpdateAll{1};
  Timer RetryUpdateTimerObject;
  Timer EnableEditTimerObject{500};

  // TDesktopHost
  void SetItemImage(THostRow* row, int image) override;
  bool RowChecked(const THostRow* row) const override { return row && row->Checked; }
  TUpdateItem* FindUpdateItem(const std::string& name, bool isGroup) override;
  Timer& RetryUpdateTimer() override { return RetryUpdateTimerObject; }
  Timer& EnableEditTimer() override { return EnableEditTimerObject; }
  void SetEditButtonsEnabled(bool enabled) override { view_.SetEditButtonsEnabled(enabled); }
  void ReleaseItemClient(THostRow* row) override;
  void LogExit1Click() override;
  void ShowRetirementMessage() override { view_.ShowRetirementMessage(RetirementMessage); }
  void AddConsoleMessage(const std::string& message) override { view_.ConsoleAdd(message); }
  void ExternalUpdateChanged(int) override {}
  void SetSmoothScrolling(bool on) override { view_.SetSmoothScrolling(on); }

 private:
  bool IsItemRow(const THostRow* row) const;

  TRavoGlobals& engine_;
  TRavoView& view_;
  std::list<THostRow> rows_;
};

}  // namespace ravo

// A test double of the main window: records what the controller told it.
#pragma once

#include <string>
#include <vector>

#include "network/Ravo.h"

namespace ravo::test {

class RecordingView : public TRavoView {
 public:
  void ConsoleAdd(const std::string& message) override { console.push_back(message); }
  void RowsChanged() override {}
  void SetEditButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
  void CloseWindow() override { ++closeRequests; }
  void ShowRetirementMessage(const std::string& text) override { retirementShown = text; }
  void SetSmoothScrolling(bool on) override { smoothScrolling = on; }

  std::vector<std::string> console;
  bool buttonsEnabled = true;
  int closeRequests = 0;
  std::string retirementShown;
  bool smoothScrolling = true;
};

// Adds a host or group row to the controller, checked or not.
inline TUpdateItem& AddItem(TRavo& ravo, const std::string& name, bool isGroup, bool checked) {
  auto item = std::make_unique<TUpdateItem>();
  item->Name = name;
  item->IsGroup = isGroup;
  item->Members.push_back(name);
  THostRow& row = ravo.AddItemRow(std::move(item));
  ravo.SetRowChecked(row, checked);
  return *row.Item;
}

}  // namespace ravo::test

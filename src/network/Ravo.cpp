#include "network/Ravo.h"

#include "core/Constants.h"
#include "core/Texts.h"
#include "platform/Identity.h"
#include "platform/Loop.h"

namespace ravo {

TRavo::TRavo(TRavoGlobals& engine, TRavoView& view) : engine_(engine), view_(view) {
  UpdateAll.Tag = 1;
  RetryUpdateTimerObject.Tag = 1;
  UpdateAll.OnTimer = [this] { UpdateAllTimer(); };
  RetryUpdateTimerObject.OnTimer = [this] { RetryUpdateTimerTimer(); };
  EnableEditTimerObject.OnTimer = [this] {
    EnableEditTimerObject.Stop();
    view_.SetEditButtonsEnabled(true);
  };
  ResetHostList();
  MayClose = false;
  RetirementMessage = text::kRetirementStart + std::string(kVersion) + text::kRetirementExpired +
                      "\r\n" + text::kRetirementVisit + std::string(kServiceWebSite) +
                      text::kRetirementDownload + "\r\n" + text::kRetirementQuit;
  engine_.MainWindow = this;
}

TRavo::~TRavo() {
  if (engine_.MainWindow == this) engine_.MainWindow = nullptr;
}

void TRavo::ResetHostList() {
  rows_.clear();
  rows_.push_back(THostRow{});  // groups header
  rows_.push_back(THostRow{});  // hosts header
  view_.RowsChanged();
}

THostRow& TRavo::AddItemRow(std::unique_ptr<TUpdateItem> item) {
  THostRow& row = rows_.emplace_back();
  row.Caption = item->Name;
  row.Item = std::move(item);
  row.Item->Row = &row;
  view_.RowsChanged();
  return row;
}

void TRavo::SetRowChecked(THostRow& row, bool checked) {
  row.Checked = checked;
  if (row.Item) row.Item->WasChecked = checked;
  view_.RowsChanged();
}

bool TRavo::IsItemRow(const THostRow* row) const {
  for (const auto& candidate : rows_) {
    if (&candidate == row) return candidate.Item != nullptr;
  }
  return false;
}

void TRavo::SetItemImage(THostRow* row, int image) {
  if (row) {
    row->StateImage = row->Checked ? image : kImageUnchecked;
  } else {
    for (auto& each : rows_) each.StateImage = image;
  }
  view_.RowsChanged();
}

TUpdateItem* TRavo::FindUpdateItem(const std::string& name, bool isGroup) {
  for (auto& row : rows_) {
    if (row.Item && row.Item->IsGroup == isGroup && row.Item->Name == name) return row.Item.get();
  }
  return nullptr;
}

void TRavo::UpdateAllTimer() {
  UpdateAll.Stop();
  TUpdateList items;
  for (auto& row : rows_) {
    if (row.Item && row.Item->WasChecked) items.push_back(row.Item.get());
  }
  if (!items.empty()) engine_.LogMessage(text::kUpdatingAllChecked);
  engine_.RunUpdate(std::move(items), UpdateAll.Tag != 0);
  UpdateAll.Tag = 1;
}

void TRavo::RetryUpdateTimerTimer() {
  RetryUpdateTimerObject.Stop();
  TUpdateList items;
  for (auto& row : rows_) {
    if (row.Item && row.Checked && (row.StateImage == kImageRetry || row.StateImage == kImageScheduled)) {
      items.push_back(row.Item.get());
    }
  }
  engine_.LogMessage(text::kUpdatingAllChecked);
  engine_.RunUpdate(std::move(items), RetryUpdateTimerObject.Tag != 0);
  RetryUpdateTimerObject.Tag = 1;
}

// The completion handler of the item's client asks for this: the client leaves
// the item now (so the next single-item update can start) and is destroyed
// from the loop, once that handler has returned.
void TRavo::ReleaseItemClient(THostRow* row) {
  if (!IsItemRow(row) || !row->Item->Client) return;
  std::shared_ptr<HttpClient> client(row->Item->Client.release());
  Loop::Post([client] {});
}

void TRavo::LogExit1Click() {
  MayClose = true;
  view_.CloseWindow();
}

bool TRavo::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  switch (message) {
    case kWmSecondInstance:
      StartUpdateAll();
      return true;
    case kWmReleaseItemClient:
      ReleaseItemClient(reinterpret_cast<THostRow*>(wParam));
      return true;
    case kWmRemoteQuit:
      Loop::Terminate();
      return true;
    case kWmServiceState:
      if (wParam == 1 && lParam == 1) {
        engine_.LogMessage(
            "SERVICE: Started sucessfully.  Service will log to <font color=clGreen>" +
            ExecutableFolder() +
            "Service.log</font> and will not process updates while graphical version is running.");
      } else if (wParam == 1 && lParam == 2) {
        engine_.LogMessage("SERVICE: Stopped sucessfully.");
      }
      return true;
    default:
      return false;
  }
}

}  // namespace ravo

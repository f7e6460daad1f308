// What the client reports for each result code of an update answer.
#include "core/Constants.h"
#include "core/Texts.h"
#include "engine/RavoGlobals.h"

namespace ravo {

namespace {

std::string Link(const std::string& name, const std::string& hint, const std::string& caption) {
  return "<a name=\"" + name + "\" hint=\"" + hint + "\">" + caption + "</a>";
}

std::string RefreshHostsLink() {
  return Link("refreshhosts", text::kRefreshHostsHint, text::kRefreshHostsText) + text::kRefreshHostsTail;
}

struct Outcome {
  int image;
  std::string text;  // after the image markup and the name
};

Outcome OutcomeOf(int code) {
  switch (code) {
    case 0:
      return {kImageCurrent, text::kResultCurrent};
    case 1:
      return {kImageUpdated, text::kResultUpdated};
    case 2:
      return {kImageInvalid, text::kResultNoHost + RefreshHostsLink()};
    case 3:
    case 4:
      return {kImageBadLogin, text::kResultBadLogin +
                                  Link("editpassword", text::kEditPasswordHint, text::kEditPasswordText) +
                                  text::kEditPasswordTail};
    case 5:
      return {kImageTooMany, text::kResultTooMany};
    case 6:
      return {kImageBanned, text::kResultBanned + Link("tos", text::kTosHint, "TOS") + "."};
    case 7:
      return {kImageInvalid, text::kResultBadAddress + Link("options", text::kOptionsHint, "Options") +
                                 text::kResultBadAddressTail};
    case 8:
      return {kImageBanned, text::kResultHostUnusable};
    case 9:
      return {kImageRedirect, text::kResultRedirect + RefreshHostsLink()};
    case 10:
      return {kImageInvalid, text::kResultNoGroup + RefreshHostsLink()};
    case 11:
      return {kImageUpdated, text::kResultGroupUpdated};
    case 12:
      return {kImageCurrent, text::kResultGroupCurrent};
    default:
      return {kImageNone, text::kResultUnknown};
  }
}

}  // namespace

TUpdateItem* TRavoGlobals::FindUpdateItem(const std::string& name, bool isGroup) {
  if (MainWindow) return MainWindow->FindUpdateItem(name, isGroup);
  if (Service) return Service->FindUpdateItem(name, isGroup);
  return nullptr;
}

void TRavoGlobals::ReportResult(TUpdateItem& item, int code) {
  if (code == 99) return;  // the completion handler retires the client version
  if (code == -1) {
    const Timer* retry = MainWindow ? &MainWindow->RetryUpdateTimer() : Service ? &Service->UpdateAllTimer() : nullptr;
    const unsigned seconds = retry ? retry->Interval() / 1000 : 0;
    if (MainWindow) MainWindow->SetItemImage(item.Row, kImageRetry);
    LogMessage("<img index=2> " + item.Name + text::kResultUnreachable + std::to_string(seconds) + text::kSeconds);
    return;
  }
  const Outcome outcome = OutcomeOf(code);
  if (MainWindow) MainWindow->SetItemImage(item.Row, outcome.image);
  if (outcome.image == kImageNone) {
    LogMessage(item.Name + outcome.text);
  } else {
    LogMessage("<img index=" + std::to_string(outcome.image) + "> " + item.Name + outcome.text);
  }
}

}  // namespace ravo

#include "app/update_page_view.h"

#include "app/main_page_ids.h"
#include "app/offer_box.h"
#include "ui/dialog_controls.h"
#include "update/shell_open.h"

bool UpdatePageView::Ask(const char* text) {
  return page != nullptr && page->ShowMessage(text, kMessageYesNo | kMessageQuestion) == kAnswerYes;
}

void UpdatePageView::Inform(const char* text) {
  if (page != nullptr) page->ShowMessage(text, kMessageInformation);
}

OfferAnswer UpdatePageView::Offer(const char* text, bool canSkip) {
  if (page == nullptr) return OfferAnswer::kNo;
  return ShowOfferBox(page->Window(), text, canSkip);
}

void UpdatePageView::ShowChecking(bool checking) {
  if (page == nullptr) return;
  page->SetItemText(IDC_CHECK_NOW, checking ? "Checking..." : "Check now");
  page->EnableItem(IDC_CHECK_NOW, !checking);
}

bool UpdatePageView::OpenInBrowser(const char* url) { return OpenWithShell(url); }

void UpdatePageView::Quit() {
  if (quit != nullptr) quit();
}

bool UpdatePageView::PickFirmwareFile(char* path, size_t size) {
  return pickFile != nullptr && page != nullptr && pickFile(page->Window(), path, size);
}

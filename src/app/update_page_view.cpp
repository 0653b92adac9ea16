#include "app/update_page_view.h"

#include "ui/dialog_controls.h"
#include "update/shell_open.h"

bool UpdatePageView::Ask(const char* text) {
  return page != nullptr && page->ShowMessage(text, kMessageYesNo | kMessageQuestion) == kAnswerYes;
}

void UpdatePageView::Inform(const char* text) {
  if (page != nullptr) page->ShowMessage(text, kMessageInformation);
}

bool UpdatePageView::OpenInBrowser(const char* url) { return OpenWithShell(url); }

void UpdatePageView::Quit() {
  if (quit != nullptr) quit();
}

bool UpdatePageView::PickFirmwareFile(char* path, size_t size) {
  return pickFile != nullptr && page != nullptr && pickFile(page->Window(), path, size);
}

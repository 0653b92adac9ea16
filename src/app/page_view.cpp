#include "app/page_view.h"

#include "app/main_page_ids.h"
#include <cstring>

#include "ui/dialog_controls.h"

namespace {

// The status refresh gives the same texts every second; setting one again
// repaints its control (under Wine a window-text request, a paint and the
// font's X resources read again). Compared with what the control shows, as
// a parameter binding writes the external gain's box too.
void SetTextIfOther(DialogControls& page, int id, const char* text) {
  char shown[128];
  page.GetItemText(id, shown, sizeof shown);
  if (std::strlen(text) < sizeof shown - 1 && std::strcmp(shown, text) == 0) return;
  page.SetItemText(id, text);
}

}  // namespace

void MainPageView::ShowLinkText(LinkText which, const char* text) {
  if (page == nullptr) return;
  switch (which) {
    case LinkText::kStatusLine:
      SetTextIfOther(*page, IDC_DEVICE_STATUS, text);
      break;
    case LinkText::kExternalGain:
      SetTextIfOther(*page, IDC_EXTERNAL_GAIN, text);
      break;
    case LinkText::kFirmwareVersion:
      SetTextIfOther(*page, IDC_FIRMWARE_VERSION, text);
      break;
  }
}

void MainPageView::ShowParameter(const WheelParameter& entry) {
  if (ParameterControls* controls = bindings_.Of(entry)) ::ShowParameter(entry, *controls);
  if (page != nullptr && &entry == &bindings_.Table()[kEntryFlags]) {
    page->SetCheck(IDC_INVERT, (entry.value & kWheelFlagInvert) != 0);
    page->SetCheck(IDC_MANUAL, (entry.value & kWheelFlagManual) != 0);
  }
}

void MainPageView::ShowProfileNames(const ProfileList& list) {
  if (page == nullptr) return;
  page->ResetCombo(IDC_PROFILE_LIST);
  for (GameProfile* p = list.First(); p; p = ProfileList::Next(p)) AddProfileName(*p);
}

void MainPageView::AddProfileName(const GameProfile& profile) {
  if (page == nullptr) return;
  page->AddComboItem(IDC_PROFILE_LIST, profile.name,
                     reinterpret_cast<intptr_t>(const_cast<GameProfile*>(&profile)));
}

void MainPageView::SelectProfileItem(int index) {
  if (page != nullptr) page->SelectComboItem(IDC_PROFILE_LIST, index);
}

#include "app/page_view.h"

#include "app/main_page_ids.h"
#include "ui/dialog_controls.h"

void MainPageView::ShowLinkText(LinkText which, const char* text) {
  if (page == nullptr) return;
  switch (which) {
    case LinkText::kStatusLine:
      page->SetItemText(IDC_DEVICE_STATUS, text);
      break;
    case LinkText::kExternalGain:
      page->SetItemText(IDC_EXTERNAL_GAIN, text);
      break;
    case LinkText::kFirmwareVersion:
      page->SetItemText(IDC_FIRMWARE_VERSION, text);
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

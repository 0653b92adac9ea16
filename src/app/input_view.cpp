#include "app/input_view.h"

#include "app/main_page_ids.h"
#include "app/strip_ids.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_utils.h"

namespace {

struct ObjectControls {
  int value;
  int label;
};

// By InputObjectBit.
const ObjectControls kObjectControls[kInputObjectCount] = {
    {IDC_X_AXIS, IDC_X_AXIS_TEXT},   {IDC_Y_AXIS, IDC_Y_AXIS_TEXT},   {IDC_Z_AXIS, IDC_Z_AXIS_TEXT},
    {IDC_RX_AXIS, IDC_RX_AXIS_TEXT}, {IDC_RY_AXIS, IDC_RY_AXIS_TEXT}, {IDC_RZ_AXIS, IDC_RZ_AXIS_TEXT},
    {IDC_SLIDER0, IDC_SLIDER0_TEXT}, {IDC_SLIDER1, IDC_SLIDER1_TEXT}, {IDC_POV0, IDC_POV0_TEXT},
    {IDC_POV1, IDC_POV1_TEXT},       {IDC_POV2, IDC_POV2_TEXT},       {IDC_POV3, IDC_POV3_TEXT},
};

bool Valid(int object) { return object >= 0 && object < kInputObjectCount; }

}  // namespace

void InputView::EnableInputObject(int object, bool enabled) {
  if (strip == nullptr || !Valid(object)) return;
  EnableItemIfChanged(*strip, kObjectControls[object].value, enabled);
  EnableItemIfChanged(*strip, kObjectControls[object].label, enabled);
}

void InputView::ShowInputValue(int object, const char* text) {
  if (strip != nullptr && Valid(object)) strip->SetItemText(kObjectControls[object].value, text);
}

void InputView::ShowWheelState(const WheelStatePicture& shapes, const PictureRect& changed) {
  if (picture != nullptr) picture->Show(shapes, changed);
}

void InputView::ShowGamingDevices(const GamingDeviceTable& table, int selected) {
  if (page == nullptr) return;
  page->ResetCombo(IDC_GAMING_DEVICE);
  for (uint32_t i = 0; i < table.count; ++i) {
    page->AddComboItem(IDC_GAMING_DEVICE, table.entries[i].productName, static_cast<intptr_t>(i));
  }
  page->SelectComboItem(IDC_GAMING_DEVICE, selected);
}

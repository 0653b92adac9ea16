#include "app/strip_view.h"

#include "app/strip_ids.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_utils.h"

namespace {

// The drive control set: enabled while a drive link is open.
const int kDriveControls[] = {IDC_WINDOW_TEXT,   IDC_WINDOW_SLIDER,  IDC_WINDOW_VALUE,
                              IDC_RESTART_DRIVE, IDC_CLEAR_FAULTS,   IDC_TORQUE_BW_TEXT,
                              IDC_TORQUE_BW_SLIDER, IDC_TORQUE_BW_VALUE, IDC_RESET_MAX};

}  // namespace

void StripView::ShowCurrents(const char* average, const char* maximum) {
  if (strip == nullptr) return;
  // Ten times a second: a text that stands already is not set again, so the
  // strip does not repaint for nothing.
  SetItemTextIfChanged(*strip, IDC_AVERAGE_CURRENT, average);
  SetItemTextIfChanged(*strip, IDC_MAXIMUM_CURRENT, maximum);
}

void StripView::EnableDriveControls(bool enabled) {
  if (strip == nullptr) return;
  for (int id : kDriveControls) EnableItemIfChanged(*strip, id, enabled);
}

void StripView::ShowTorqueBandwidth(const WheelParameter& entry) {
  if (ParameterControls* controls = bindings_.Of(entry)) ::ShowParameter(entry, *controls);
}

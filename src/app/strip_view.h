#pragma once
// What the parts show on the drive/state strip (developer mode): the drive's
// current statistics and the enable state of its control set.
#include "drive/drive_link.h"

class DialogControls;

class StripView : public DriveView {
 public:
  DialogControls* strip = nullptr;  // null until the strip exists (and outside developer mode)

  void ShowCurrents(const char* average, const char* maximum) override;
  void EnableDriveControls(bool enabled) override;
};

#pragma once
// What the parts show on the drive/state strip (developer mode): the drive's
// current statistics and the enable state of its control set.
#include "app/parameter_binding.h"
#include "drive/drive_link.h"

class DialogControls;

class StripView : public DriveView {
 public:
  explicit StripView(ParameterBindings& bindings) : bindings_(bindings) {}

  DialogControls* strip = nullptr;  // null until the strip exists (and outside developer mode)

  void ShowCurrents(const char* average, const char* maximum) override;
  void EnableDriveControls(bool enabled) override;
  // Through the entry's binding (none before the strip binds it).
  void ShowTorqueBandwidth(const WheelParameter& entry) override;

 private:
  ParameterBindings& bindings_;
};

#pragma once
// Which controls show each board parameter. The pages bind every entry of the
// wheel link's parameter table to the slider and label (or list) that show it;
// the protocol's entries themselves know no window.
#include <cstdint>

#include "wheel/wheel_parameter.h"

class DialogControls;

struct ParameterControls {
  DialogControls* dialog = nullptr;  // the page that holds the controls; null = not shown
  void* slider = nullptr;            // slider window, looked up when the entry is bound
  int32_t sliderId = 0;              // 0 = none
  int32_t labelId = 0;               // value label, list or field; 0 = none
};

// One ParameterControls per entry of a parameter table, in the table's order.
class ParameterBindings {
 public:
  explicit ParameterBindings(WheelParameterTable& table) : table_(table) {}

  WheelParameterTable& Table() { return table_; }
  ParameterControls& operator[](WheelEntry e) { return entries_[e]; }
  // The controls of an entry of the table (analog curves included); null for
  // an entry that is not one of the table's.
  ParameterControls* Of(const WheelParameter& entry);
  // The entry whose slider window this is: the 25 entries that can carry a
  // slider, then the 4 analog curves; null when none (or slider is null).
  WheelParameter* FindBySlider(void* slider);

 private:
  WheelParameterTable& table_;
  ParameterControls entries_[kWheelEntryCount];
  ParameterControls curves_[kAnalogCount];
};

// Fills an entry and binds it to its controls: the slider gets the range and a
// tick at every minimum + k * step up to maximum - step, then the value is
// shown. With no dialog nothing is shown.
void BindParameter(WheelParameter& entry, ParameterControls& controls, DialogControls* dialog,
                   int32_t sliderId, int32_t labelId, uint8_t number, uint8_t sizeIndex,
                   int32_t minimum, int32_t maximum, int32_t tickStep, uint8_t kind, char unit);
// Writes the label when the entry has a dialog and a label.
void FormatParameterLabel(const WheelParameter& entry, const ParameterControls& controls);
// Shows the value in the entry's controls: list item for kind 5, otherwise
// slider position and label. Nothing when the entry has no dialog.
void ShowParameter(const WheelParameter& entry, const ParameterControls& controls);

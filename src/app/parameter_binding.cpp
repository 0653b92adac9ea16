#include "app/parameter_binding.h"

#include "ui/dialog_controls.h"

ParameterControls* ParameterBindings::Of(const WheelParameter& entry) {
  const WheelParameter* first = table_.entries;
  if (&entry >= first && &entry < first + kWheelEntryCount) return &entries_[&entry - first];
  const WheelParameter* curve = table_.analogCurves;
  if (&entry >= curve && &entry < curve + kAnalogCount) return &curves_[&entry - curve];
  return nullptr;
}

WheelParameter* ParameterBindings::FindBySlider(void* slider) {
  // Entries without a slider keep a null window; a scroll message without a
  // slider (a window scroll bar) must not match them.
  if (slider == nullptr) return nullptr;
  for (int i = 0; i < kWheelEntryCount; ++i) {
    if (i == kEntryFlags || i == kEntryDebugLevel) continue;
    if (entries_[i].slider == slider) return &table_.entries[i];
  }
  for (int j = 0; j < kAnalogCount; ++j) {
    if (curves_[j].slider == slider) return &table_.analogCurves[j];
  }
  return nullptr;
}

void BindParameter(WheelParameter& entry, ParameterControls& controls, DialogControls* dialog,
                   int32_t sliderId, int32_t labelId, uint8_t number, uint8_t sizeIndex,
                   int32_t minimum, int32_t maximum, int32_t tickStep, uint8_t kind, char unit) {
  controls.dialog = dialog;
  controls.slider = nullptr;
  controls.sliderId = sliderId;
  controls.labelId = labelId;
  entry.number = number;
  entry.sizeIndex = sizeIndex;
  entry.minimum = minimum;
  entry.maximum = maximum;
  entry.tickStep = tickStep;
  entry.kind = kind;
  entry.unit = unit;
  if (dialog != nullptr && sliderId != 0) {
    controls.slider = dialog->ItemWindow(sliderId);
    if (controls.slider != nullptr) {
      dialog->SetSliderRange(sliderId, minimum, maximum);
      // A step of 0 would never reach the end; such an entry gets no ticks.
      if (tickStep > 0) {
        const int64_t last = int64_t{maximum} - tickStep;
        for (int64_t t = int64_t{minimum} + tickStep; t <= last; t += tickStep) {
          dialog->AddSliderTick(sliderId, static_cast<int32_t>(t));
        }
      }
    }
  }
  ShowParameter(entry, controls);
}

void FormatParameterLabel(const WheelParameter& entry, const ParameterControls& controls) {
  if (controls.dialog == nullptr || controls.labelId == 0) return;
  char text[64];
  if (FormatParameterText(entry, text, sizeof text)) controls.dialog->SetItemText(controls.labelId, text);
}

void ShowParameter(const WheelParameter& entry, const ParameterControls& controls) {
  if (controls.dialog == nullptr) return;
  if (controls.labelId != 0 && entry.kind == kShowListItem) {
    controls.dialog->SelectComboItem(controls.labelId, entry.value);
    return;
  }
  if (controls.sliderId != 0) controls.dialog->SetSliderPos(controls.sliderId, entry.value);
  if (controls.labelId != 0) FormatParameterLabel(entry, controls);
}

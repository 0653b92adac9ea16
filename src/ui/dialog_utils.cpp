#include "ui/dialog_utils.h"

#include "ui/dialog_controls.h"

void SetFlagFromCheck(DialogControls& dialog, int id, uint32_t* flags, uint32_t mask) {
  if (dialog.IsChecked(id)) {
    *flags |= mask;
  } else {
    *flags &= ~mask;
  }
}

bool SelectedItemData(DialogControls& dialog, int id, intptr_t* data) {
  const int index = dialog.ComboSelection(id);
  if (index < 0) return false;
  *data = dialog.ComboItemData(id, index);
  return true;
}

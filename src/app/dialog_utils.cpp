#include "app/dialog_utils.h"

#include "app/dialog_controls.h"

void SetFlagFromCheck(DialogControls& dialog, int id, uint32_t* flags, uint32_t mask) {
  if (dialog.IsChecked(id)) {
    *flags |= mask;
  } else {
    *flags &= ~mask;
  }
}

bool IsButtonChecked(DialogControls& dialog, int id) { return dialog.IsChecked(id); }

bool SelectedItemData(DialogControls& dialog, int id, intptr_t* data) {
  const int index = dialog.ComboSelection(id);
  if (index < 0) return false;
  *data = dialog.ComboItemData(id, index);
  return true;
}

int FindItemByData(DialogControls& dialog, int id, intptr_t data) {
  const int count = dialog.ComboCount(id);
  for (int i = 0; i < count; ++i) {
    if (dialog.ComboItemData(id, i) == data) return i;
  }
  return -1;
}

bool SelectItemByData(DialogControls& dialog, int id, intptr_t data) {
  const int index = FindItemByData(dialog, id, data);
  if (index < 0) return false;
  dialog.SelectComboItem(id, index);
  return true;
}

int AddItemWithData(DialogControls& dialog, int id, const char* text, intptr_t data) {
  return dialog.AddComboItem(id, text, data);
}

void EnableIfChanged(DialogControls& dialog, int id, bool enabled) {
  if (dialog.IsItemEnabled(id) != enabled) dialog.EnableItem(id, enabled);
}

#include "ui/dialog_utils.h"

#include <cstring>

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

void EnableItemIfChanged(DialogControls& dialog, int id, bool enabled) {
  if (dialog.IsItemEnabled(id) != enabled) dialog.EnableItem(id, enabled);
}

void SetItemTextIfChanged(DialogControls& dialog, int id, const char* text) {
  char shown[128];
  dialog.GetItemText(id, shown, sizeof shown);
  if (std::strncmp(shown, text, sizeof shown - 1) != 0 || std::strlen(text) >= sizeof shown - 1) {
    dialog.SetItemText(id, text);
  }
}

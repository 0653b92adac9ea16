#pragma once
// Small mechanical helpers over DialogControls shared by the pages and the
// dialogs: check boxes into flag bits, the item data of a list's selection.
#include <cstdint>

class DialogControls;

// *flags bit(s) mask := the check box state.
void SetFlagFromCheck(DialogControls& dialog, int id, uint32_t* flags, uint32_t mask);
// The item data of the selected entry; false (and *data untouched) when
// nothing is selected.
bool SelectedItemData(DialogControls& dialog, int id, intptr_t* data);
// Enables or disables a control only when its state differs (no needless
// repaint, no flicker when called on every tick).
void EnableItemIfChanged(DialogControls& dialog, int id, bool enabled);
// Sets a control's text only when it differs from what the control shows.
void SetItemTextIfChanged(DialogControls& dialog, int id, const char* text);

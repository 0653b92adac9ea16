#pragma once
// Small mechanical helpers over DialogControls shared by the pages and the
// dialogs: check boxes into flag bits, list entries found by their item data.
#include <cstdint>

class DialogControls;

// *flags bit(s) mask := the check box state.
void SetFlagFromCheck(DialogControls& dialog, int id, uint32_t* flags, uint32_t mask);
bool IsButtonChecked(DialogControls& dialog, int id);
// The item data of the selected entry; false (and *data untouched) when
// nothing is selected.
bool SelectedItemData(DialogControls& dialog, int id, intptr_t* data);
// The index of the first entry carrying data, or -1.
int FindItemByData(DialogControls& dialog, int id, intptr_t data);
// Selects the first entry carrying data; false when there is none (the
// selection is left as it was).
bool SelectItemByData(DialogControls& dialog, int id, intptr_t data);
// Appends an entry with its data; its index, or -1 when the list refused it.
int AddItemWithData(DialogControls& dialog, int id, const char* text, intptr_t data);
// Enables or disables a control, touching it only when its state differs.
void EnableIfChanged(DialogControls& dialog, int id, bool enabled);

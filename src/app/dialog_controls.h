#pragma once
// The controls of one dialog, addressed by control id. The Windows side wraps a
// dialog window (one SendMessage per call); native tests use a recording fake.
// Texts are in the ANSI code page of the dialogs (the degree sign is 0xB0).
#include <cstdint>

class DialogControls {
 public:
  virtual ~DialogControls() = default;

  virtual void SetItemText(int id, const char* text) = 0;
  // Combo boxes (drop-down lists): empty, append an item that carries data,
  // select by index (-1 selects nothing).
  virtual void ResetCombo(int id) = 0;
  // The new item's index, or -1 when the list refused it.
  virtual int AddComboItem(int id, const char* text, intptr_t data) = 0;
  virtual void SelectComboItem(int id, int index) = 0;
  // Trackbars: the position, redrawn.
  virtual void SetSliderPos(int id, int32_t position) = 0;
};

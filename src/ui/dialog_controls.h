#pragma once
// The controls of one dialog, addressed by control id. The Windows side wraps a
// dialog window (dialog_controls_win32.h, one SendMessage per call); native
// tests use a recording fake (tests/unit/wheel/fake_dialog.h).
// Texts are in the ANSI code page of the dialogs (the degree sign is 0xB0).
//
// The first group is what every user of a dialog needs; the rest have harmless
// defaults so small test doubles only implement what they look at. The
// Windows wrapper and the recording fake implement all of them.
#include <cstdint>

// Message-box styles and answers, with the platform's values.
constexpr unsigned kMessageOk = 0x00;
constexpr unsigned kMessageYesNo = 0x04;
constexpr unsigned kMessageError = 0x10;
constexpr unsigned kMessageQuestion = 0x20;
constexpr unsigned kMessageWarning = 0x30;
constexpr unsigned kMessageInformation = 0x40;
constexpr int kAnswerOk = 1;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// Notification codes of a drop-down list, with the platform's values.
constexpr int kListSelectionChanged = 1;  // CBN_SELCHANGE
constexpr int kListOpening = 7;           // CBN_DROPDOWN

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

  // The dialog's own window and a control's window; null when there is none.
  // Slider windows are what scroll messages name, so entries keep them.
  virtual void* Window() { return nullptr; }
  virtual void* ItemWindow(int id) { return nullptr; }
  // The text of a control, cut to size - 1 characters; "" when there is none.
  virtual void GetItemText(int id, char* out, int size) {
    if (size > 0) out[0] = 0;
  }

  // Trackbars. The range goes to the control as two 16-bit halves; ticks
  // add to the two end marks the control draws itself.
  virtual void SetSliderRange(int id, int32_t minimum, int32_t maximum) {}
  virtual void AddSliderTick(int id, int32_t position) {}
  virtual int32_t GetSliderPos(int id) { return 0; }

  // Check boxes.
  virtual void SetCheck(int id, bool checked) {}
  virtual bool IsChecked(int id) { return false; }

  // Any control.
  virtual void EnableItem(int id, bool enabled) {}
  virtual bool IsItemEnabled(int id) { return true; }

  // Combo boxes: item count, the selected index (-1 when none), an item's data
  // (-1 for an index that does not exist).
  virtual int ComboCount(int id) { return 0; }
  virtual int ComboSelection(int id) { return -1; }
  virtual intptr_t ComboItemData(int id, int index) { return -1; }
  // Combo boxes changed in place: an item inserted before index (index =
  // count appends), returning its index or -1 when the list refused it; the
  // item at index removed. Lists that change by a few items stay as they are
  // on screen otherwise.
  virtual int InsertComboItem(int id, int index, const char* text, intptr_t data) { return -1; }
  virtual void DeleteComboItem(int id, int index) {}

  // A modal message box owned by this dialog, captioned with the runtime's
  // application name; returns the answer (kAnswerOk, kAnswerYes, kAnswerNo).
  virtual int ShowMessage(const char* text, unsigned style) { return kAnswerOk; }
  // Ends the dialog with a result (a page dialog then disappears).
  virtual void EndDialog(int result) {}
  // A line of help shown while the pointer rests on the control.
  virtual void SetTooltip(int id, const char* text) {}
};

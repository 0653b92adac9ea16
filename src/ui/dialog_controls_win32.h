#pragma once
// DialogControls over a dialog window: one message per call.
#include <windows.h>

#include "ui/dialog_controls.h"

class WindowDialogControls : public DialogControls {
 public:
  WindowDialogControls() = default;
  explicit WindowDialogControls(HWND dialog) : dialog_(dialog) {}
  void Attach(HWND dialog) { dialog_ = dialog; }
  HWND Dialog() const { return dialog_; }

  void SetItemText(int id, const char* text) override;
  void ResetCombo(int id) override;
  int AddComboItem(int id, const char* text, intptr_t data) override;
  void SelectComboItem(int id, int index) override;
  void SetSliderPos(int id, int32_t position) override;

  void* Window() override { return dialog_; }
  void* ItemWindow(int id) override;
  void GetItemText(int id, char* out, int size) override;
  void SetSliderRange(int id, int32_t minimum, int32_t maximum) override;
  void AddSliderTick(int id, int32_t position) override;
  int32_t GetSliderPos(int id) override;
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) override;
  void EnableItem(int id, bool enabled) override;
  bool IsItemEnabled(int id) override;
  int ComboCount(int id) override;
  int ComboSelection(int id) override;
  intptr_t ComboItemData(int id, int index) override;
  int InsertComboItem(int id, int index, const char* text, intptr_t data) override;
  void DeleteComboItem(int id, int index) override;
  int ShowMessage(const char* text, unsigned style) override;
  void EndDialog(int result) override;
  void SetTooltip(int id, const char* text) override;

 private:
  LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendDlgItemMessageA(dialog_, id, message, wParam, lParam);
  }
  HWND dialog_ = nullptr;
  HWND tips_ = nullptr;  // the dialog's tooltip window, made with its first tip
};

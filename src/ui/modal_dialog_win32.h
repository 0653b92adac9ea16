#pragma once
// A modal dialog over a dialog resource: its one procedure keeps the object in
// DWLP_USER from WM_INITDIALOG on and hands it every message after that.
#include <windows.h>

#include "ui/dialog_controls_win32.h"

class ModalDialog {
 public:
  virtual ~ModalDialog() = default;
  // Runs the dialog over owner's window until it ends: EndDialog's result,
  // -1 when the dialog could not be made.
  INT_PTR Run(int dialogId, DialogControls& owner);

 protected:
  // Every message from WM_INITDIALOG on, with controls attached to the dialog;
  // those before it (WM_SETFONT) get the dialog's default handling.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  HWND Window() const { return controls.Dialog(); }
  WindowDialogControls controls;

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

#include "ui/modal_dialog_win32.h"

INT_PTR ModalDialog::Run(int dialogId, DialogControls& owner) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogId), static_cast<HWND>(owner.Window()),
                         Procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ModalDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<ModalDialog*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    self->controls.Attach(dialog);
  }
  return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

#include "ui/dialog_controls_win32.h"

#include <commctrl.h>

#include "exec/execlib.h"

void WindowDialogControls::SetItemText(int id, const char* text) {
  SetDlgItemTextA(dialog_, id, text);
}

void WindowDialogControls::ResetCombo(int id) { Send(id, CB_RESETCONTENT, 0, 0); }

int WindowDialogControls::AddComboItem(int id, const char* text, intptr_t data) {
  // CB_ERR (-1) or CB_ERRSPACE (-2) when the list refused the item.
  LRESULT index = Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (index < 0) return -1;
  Send(id, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
  return static_cast<int>(index);
}

void WindowDialogControls::SelectComboItem(int id, int index) {
  // -1 clears the selection (and then reports CB_ERR, which is what we asked).
  Send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void WindowDialogControls::SetSliderPos(int id, int32_t position) {
  Send(id, TBM_SETPOS, TRUE, position);
}

void* WindowDialogControls::ItemWindow(int id) { return GetDlgItem(dialog_, id); }

void WindowDialogControls::GetItemText(int id, char* out, int size) {
  if (size <= 0) return;
  // Returns 0 and leaves out untouched when there is no such control.
  out[0] = 0;
  GetDlgItemTextA(dialog_, id, out, size);
}

void WindowDialogControls::SetSliderRange(int id, int32_t minimum, int32_t maximum) {
  // TBM_SETRANGE packs both ends into 16 bits each.
  Send(id, TBM_SETRANGE, TRUE, MAKELPARAM(minimum & 0xFFFF, maximum & 0xFFFF));
}

void WindowDialogControls::AddSliderTick(int id, int32_t position) {
  Send(id, TBM_SETTIC, 0, position);
}

int32_t WindowDialogControls::GetSliderPos(int id) {
  return static_cast<int32_t>(Send(id, TBM_GETPOS, 0, 0));
}

void WindowDialogControls::SetCheck(int id, bool checked) {
  Send(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool WindowDialogControls::IsChecked(int id) {
  return Send(id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowDialogControls::EnableItem(int id, bool enabled) {
  EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

bool WindowDialogControls::IsItemEnabled(int id) {
  return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE;
}

int WindowDialogControls::ComboCount(int id) {
  LRESULT count = Send(id, CB_GETCOUNT, 0, 0);
  return count < 0 ? 0 : static_cast<int>(count);
}

int WindowDialogControls::ComboSelection(int id) {
  // CB_ERR (-1) when nothing is selected.
  return static_cast<int>(Send(id, CB_GETCURSEL, 0, 0));
}

intptr_t WindowDialogControls::ComboItemData(int id, int index) {
  // CB_ERR (-1) for an index that does not exist.
  return static_cast<intptr_t>(Send(id, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

int WindowDialogControls::InsertComboItem(int id, int index, const char* text, intptr_t data) {
  // Unlike CB_ADDSTRING, CB_INSERTSTRING never sorts; CB_ERR or CB_ERRSPACE on refusal.
  LRESULT at = Send(id, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  if (at < 0) return -1;
  Send(id, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(data));
  return static_cast<int>(at);
}

void WindowDialogControls::DeleteComboItem(int id, int index) {
  Send(id, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

int WindowDialogControls::ShowMessage(const char* text, unsigned style) {
  return MessageBoxA(dialog_, text, ApplicationName(), style);
}

void WindowDialogControls::EndDialog(int result) { ::EndDialog(dialog_, result); }

void WindowDialogControls::SetTooltip(int id, const char* text) {
  HWND control = GetDlgItem(dialog_, id);
  if (control == nullptr) return;
  if (tips_ == nullptr) {
    // Owned by the dialog, so it goes with it.
    tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    if (tips_ == nullptr) return;
    // A sentence takes longer to read than the default 5 s.
    SendMessageA(tips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(20000, 0));
  }
  TOOLINFOA tool;
  ZeroMemory(&tool, sizeof tool);
  tool.cbSize = sizeof tool;
  // The tooltip watches the control's own mouse messages (TTF_SUBCLASS).
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// Commands on the controls of the target window, addressed by control id.
// Reads are sent with a time bound; anything that makes the program act is
// posted, because its handler may open a modal box and not return for a while.
#include "driver_win32.h"

#include <commctrl.h>

#include <cstdio>

namespace {

constexpr UINT kSendTimeoutMs = 2000;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &answer)) {
    return false;
  }
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

void PrintNumber(long value) {
  char line[32];
  snprintf(line, sizeof(line), "%ld", value);
  PrintLine(line);
}

// Combo-box item texts must be read with the W message: the A form loses the
// text across processes under Wine.
bool ComboItem(HWND combo, long index, std::wstring* text) {
  LRESULT length = 0;
  if (!Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, &length) || length < 0) return false;
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&buffer[0]),
            &copied) ||
      copied < 0) {
    return false;
  }
  buffer.resize(static_cast<size_t>(copied) <= static_cast<size_t>(length) ? copied : length);
  *text = buffer;
  return true;
}

int GetText(Context& context, const Args& args) {
  HWND control = TargetControl(context, "get-text", args[0]);
  std::wstring text;
  if (control == nullptr || !ControlText(control, &text)) return kFailed;
  PrintLine(Narrow(text));
  return kOk;
}

int WaitText(Context& context, const Args& args) {
  HWND control = TargetControl(context, "wait-text", args[0]);
  if (control == nullptr) return kFailed;
  std::wstring wanted = Widen(args[1]);
  std::wstring text;
  if (!WaitUntil(context.timeoutMs, [&] { return ControlText(control, &text) && text == wanted; })) {
    PrintError("wait-text", "control " + args[0] + " shows \"" + Narrow(text) + "\"");
    return kFailed;
  }
  return kOk;
}

BOOL CALLBACK FindEdit(HWND window, LPARAM found) {
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  if (lstrcmpiW(name, L"Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Types into an edit field: its whole text replaced, as a paste would. A combo
// box that can be typed into (the file name box of the standard file dialogs)
// takes the text in its edit field.
int SetText(Context& context, const Args& args) {
  HWND control = TargetControl(context, "set-text", args[0]);
  if (control == nullptr) return kFailed;
  HWND edit = nullptr;
  EnumChildWindows(control, FindEdit, reinterpret_cast<LPARAM>(&edit));
  if (edit != nullptr) control = edit;
  std::wstring text = Widen(args[1]);
  if (!Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), nullptr)) {
    PrintError("set-text", "control " + args[0] + " does not answer");
    return kFailed;
  }
  return kOk;
}

BOOL CALLBACK PrintControl(HWND window, LPARAM) {
  std::wstring text;
  ControlText(window, &text);
  char head[96];
  snprintf(head, sizeof(head), "%d %s%s ", GetDlgCtrlID(window), IsWindowVisible(window) ? "" : "hidden ",
           IsWindowEnabled(window) ? "" : "disabled ");
  PrintLine(head + Narrow(ClassOf(window)) + " \"" + Narrow(text) + "\"");
  return TRUE;
}

int ListControls(Context& context, const Args&) {
  HWND top = Target(context, "list-controls");
  if (top == nullptr) return kFailed;
  EnumChildWindows(top, PrintControl, 0);
  return kOk;
}

// Moves a trackbar the way a user does: new position, then the parent's
// WM_HSCROLL (or WM_VSCROLL for a vertical one) naming the slider.
int SetSlider(Context& context, const Args& args) {
  long position = 0;
  if (!ParseInt(args[1], &position)) return kUsage;
  HWND slider = TargetControl(context, "set-slider", args[0]);
  if (slider == nullptr) return kFailed;
  if (!Send(slider, TBM_SETPOS, TRUE, position, nullptr)) {
    PrintError("set-slider", "slider " + args[0] + " does not answer");
    return kFailed;
  }
  bool vertical = (GetWindowLongW(slider, GWL_STYLE) & TBS_VERT) != 0;
  PostMessageW(GetParent(slider), vertical ? WM_VSCROLL : WM_HSCROLL,
               MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
  PostMessageW(GetParent(slider), vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
               reinterpret_cast<LPARAM>(slider));
  return kOk;
}

// The control's answer to a message without arguments, as a number.
int PrintAnswer(Context& context, const Args& args, const char* command, UINT message) {
  HWND control = TargetControl(context, command, args[0]);
  LRESULT answer = 0;
  if (control == nullptr || !Send(control, message, 0, 0, &answer)) return kFailed;
  PrintNumber(static_cast<long>(answer));
  return kOk;
}

// 1 or 0: whether the control is so.
int PrintState(Context& context, const Args& args, const char* command, BOOL(WINAPI* state)(HWND)) {
  HWND control = TargetControl(context, command, args[0]);
  if (control == nullptr) return kFailed;
  PrintNumber(state(control) ? 1 : 0);
  return kOk;
}

int GetSlider(Context& context, const Args& args) { return PrintAnswer(context, args, "get-slider", TBM_GETPOS); }
int GetProgress(Context& context, const Args& args) { return PrintAnswer(context, args, "get-progress", PBM_GETPOS); }

int Click(Context& context, const Args& args) {
  HWND button = TargetControl(context, "click", args[0]);
  if (button == nullptr) return kFailed;
  PostMessageW(button, BM_CLICK, 0, 0);
  return kOk;
}

int IsChecked(Context& context, const Args& args) { return PrintAnswer(context, args, "is-checked", BM_GETCHECK); }
int IsEnabled(Context& context, const Args& args) { return PrintState(context, args, "is-enabled", IsWindowEnabled); }
int IsVisible(Context& context, const Args& args) { return PrintState(context, args, "is-visible", IsWindowVisible); }

// For pixel checks at any display scaling: where the control is on the screen.
int ControlRect(Context& context, const Args& args) {
  HWND control = TargetControl(context, "control-rect", args[0]);
  RECT r{};
  if (control == nullptr || !GetWindowRect(control, &r)) return kFailed;
  char line[64];
  snprintf(line, sizeof(line), "%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
  PrintLine(line);
  return kOk;
}

// Selects by index, or by item text when the argument is not a number, then
// tells the parent as a user's choice would (CBN_SELCHANGE).
int SelectCombo(Context& context, const Args& args) {
  HWND combo = TargetControl(context, "select-combo", args[0]);
  if (combo == nullptr) return kFailed;
  long index = -1;
  if (!ParseInt(args[1], &index)) {
    LRESULT count = 0;
    if (!Send(combo, CB_GETCOUNT, 0, 0, &count)) return kFailed;
    std::wstring wanted = Widen(args[1]);
    for (long i = 0; i < count; ++i) {
      std::wstring text;
      if (ComboItem(combo, i, &text) && text == wanted) {
        index = i;
        break;
      }
    }
    if (index < 0) {
      PrintError("select-combo", "no item \"" + args[1] + "\"");
      return kFailed;
    }
  }
  LRESULT result = 0;
  if (!Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &result) || result != index) {
    PrintError("select-combo", "cannot select item " + args[1]);
    return kFailed;
  }
  PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  return kOk;
}

// Prints the selected index and its text ("-1" alone when nothing is selected).
int GetCombo(Context& context, const Args& args) {
  HWND combo = TargetControl(context, "get-combo", args[0]);
  LRESULT index = 0;
  if (combo == nullptr || !Send(combo, CB_GETCURSEL, 0, 0, &index)) return kFailed;
  std::wstring text;
  if (index >= 0) ComboItem(combo, static_cast<long>(index), &text);
  char head[32];
  snprintf(head, sizeof(head), "%ld", static_cast<long>(index));
  PrintLine(index >= 0 ? std::string(head) + " " + Narrow(text) : std::string(head));
  return kOk;
}

int ListCombo(Context& context, const Args& args) {
  HWND combo = TargetControl(context, "list-combo", args[0]);
  LRESULT count = 0;
  if (combo == nullptr || !Send(combo, CB_GETCOUNT, 0, 0, &count)) return kFailed;
  for (long i = 0; i < count; ++i) {
    std::wstring text;
    if (!ComboItem(combo, i, &text)) return kFailed;
    PrintLine(Narrow(text));
  }
  return kOk;
}

}  // namespace

const Command kControlCommands[] = {
    {"get-text", 1, 1, GetText, "ID  print a control's text"},
    {"wait-text", 2, 2, WaitText, "ID TEXT  wait until a control shows exactly TEXT"},
    {"set-text", 2, 2, SetText, "ID TEXT  replace a control's text (an edit field)"},
    {"list-controls", 0, 0, ListControls, "  print id, class and text of every control"},
    {"set-slider", 2, 2, SetSlider, "ID POS  move a trackbar and notify its parent"},
    {"get-slider", 1, 1, GetSlider, "ID  print a trackbar's position"},
    {"get-progress", 1, 1, GetProgress, "ID  print a progress bar's position"},
    {"click", 1, 1, Click, "ID  click a button (BM_CLICK)"},
    {"is-checked", 1, 1, IsChecked, "ID  print 1/0 (2 indeterminate)"},
    {"is-enabled", 1, 1, IsEnabled, "ID  print 1/0"},
    {"is-visible", 1, 1, IsVisible, "ID  print 1/0"},
    {"control-rect", 1, 1, ControlRect, "ID  print screen x y width height"},
    {"select-combo", 2, 2, SelectCombo, "ID INDEX|TEXT  select an item and notify the parent"},
    {"get-combo", 1, 1, GetCombo, "ID  print the selected index and text"},
    {"list-combo", 1, 1, ListCombo, "ID  print every item"},
    {nullptr, 0, 0, nullptr, nullptr},
};

// The "Linearity Editor" dialog (153) on Win32: the procedure forwards the
// trackbar and the 33 ms timer to drive/linearity_editor.cpp and paints the
// picture it builds.
#include <windows.h>

#include <new>

#include "drive/linearity_editor.h"
#include "drive/linearity_graph_win32.h"
#include "ui/dialog_controls_win32.h"

namespace {

constexpr UINT_PTR kTimerId = 1;

struct EditorState {
  LinearityEditor* editor;
  WindowDialogControls controls;
  int graphHeight;       // h of the picture: client height - 100, or less above controls set higher
  LinearityGraph graph;  // built for each paint; kept here, it is too big for the stack of a paint
};

// The picture ends 22 pixels below h (the input bar's frame); at a large
// text size the controls start higher than 100 pixels above the bottom, and
// the picture then stops above them instead.
int GraphHeight(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  int h = client.bottom - 100;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    if (r.top - 22 < h) h = r.top - 22;
  }
  return h;
}

void InvalidatePicture(HWND dialog, const EditorState& state) {
  RECT client;
  GetClientRect(dialog, &client);
  RECT area = {0, 0, client.right, state.graphHeight + 22};
  InvalidateRect(dialog, &area, FALSE);  // no erase: the picture paints its own background
}

void Paint(HWND dialog, EditorState& state) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  RECT client;
  GetClientRect(dialog, &client);
  state.editor->Picture(client.right, client.bottom, state.graphHeight, &state.graph);
  PaintLinearityGraph(dc, state.graph);
  EndPaint(dialog, &paint);
}

INT_PTR CALLBACK LinearityEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<EditorState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<EditorState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      state->controls.Attach(dialog);
      state->graphHeight = GraphHeight(dialog);
      state->editor->Init(state->controls);
      SetTimer(dialog, kTimerId, kLinearityTimerMs, nullptr);
      return TRUE;
    case WM_HSCROLL:
      if (!state || reinterpret_cast<HWND>(lParam) != GetDlgItem(dialog, IDC_LINEARITY_SLIDER)) return FALSE;
      state->editor->SliderMoved(state->controls);
      InvalidatePicture(dialog, *state);
      return TRUE;
    case WM_TIMER:
      if (!state || wParam != kTimerId) return FALSE;
      if (state->editor->Tick()) InvalidatePicture(dialog, *state);
      return TRUE;
    case WM_ERASEBKGND: {
      if (!state) return FALSE;
      // Only below the picture: the picture paints its own background, and
      // erasing it first would show an empty frame for a moment.
      RECT rest;
      GetClientRect(dialog, &rest);
      rest.top = state->graphHeight + 22;
      if (rest.top < rest.bottom) FillRect(reinterpret_cast<HDC>(wParam), &rest, GetSysColorBrush(COLOR_3DFACE));
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
      return TRUE;
    }
    case WM_PAINT:
      if (!state) return FALSE;
      Paint(dialog, *state);
      return TRUE;
    case WM_COMMAND:
      if (!state) return FALSE;
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        // What the trackbar wrote stays written either way.
        KillTimer(dialog, kTimerId);
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 1 : 0);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      KillTimer(dialog, kTimerId);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int RunLinearityEditorDialog(LinearityEditor& editor, DialogControls& owner) {
  auto* state = new (std::nothrow) EditorState{&editor, WindowDialogControls(), 0, LinearityGraph()};
  if (state == nullptr) return 0;
  const INT_PTR result =
      DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LINEARITY_EDITOR),
                      static_cast<HWND>(owner.Window()), LinearityEditorProc, reinterpret_cast<LPARAM>(state));
  delete state;
  return result == 1 ? 1 : 0;
}

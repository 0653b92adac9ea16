// The "Linearity Editor" dialog (153) on Win32: the procedure forwards the
// trackbar and the 33 ms timer to drive/linearity_editor.cpp and paints the
// picture it builds.
#include <windows.h>

#include <new>

#include "drive/linearity_editor.h"
#include "drive/linearity_graph_win32.h"
#include "ui/modal_dialog_win32.h"

namespace {

constexpr UINT_PTR kTimerId = 1;

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

void InvalidatePicture(HWND dialog, int graphHeight) {
  RECT client;
  GetClientRect(dialog, &client);
  RECT area = {0, 0, client.right, graphHeight + 22};
  InvalidateRect(dialog, &area, FALSE);  // no erase: the picture paints its own background
}

class LinearityEditorDialog : public ModalDialog {
 public:
  explicit LinearityEditorDialog(LinearityEditor& editor) : editor_(editor) {}

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    HWND dialog = Window();
    switch (message) {
      case WM_INITDIALOG:
        graphHeight_ = GraphHeight(dialog);
        editor_.Init(controls);
        SetTimer(dialog, kTimerId, kLinearityTimerMs, nullptr);
        return TRUE;
      case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) != GetDlgItem(dialog, IDC_LINEARITY_SLIDER)) return FALSE;
        editor_.SliderMoved(controls);
        InvalidatePicture(dialog, graphHeight_);
        return TRUE;
      case WM_TIMER:
        if (wParam != kTimerId) return FALSE;
        if (editor_.Tick()) InvalidatePicture(dialog, graphHeight_);
        return TRUE;
      case WM_ERASEBKGND: {
        // Only below the picture: the picture paints its own background, and
        // erasing it first would show an empty frame for a moment.
        RECT rest;
        GetClientRect(dialog, &rest);
        rest.top = graphHeight_ + 22;
        if (rest.top < rest.bottom) FillRect(reinterpret_cast<HDC>(wParam), &rest, GetSysColorBrush(COLOR_3DFACE));
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
        return TRUE;
      }
      case WM_PAINT:
        Paint(dialog);
        return TRUE;
      case WM_COMMAND:
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

  void Paint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    RECT client;
    GetClientRect(dialog, &client);
    editor_.Picture(client.right, client.bottom, graphHeight_, &graph_);
    PaintLinearityGraph(dc, graph_);
    EndPaint(dialog, &paint);
  }

  LinearityEditor& editor_;
  int graphHeight_ = 0;  // h of the picture: client height - 100, or less above controls set higher
  LinearityGraph graph_;  // built for each paint; kept here, it is too big for the stack of a paint
};

}  // namespace

int RunLinearityEditorDialog(LinearityEditor& editor, DialogControls& owner) {
  auto* dialog = new (std::nothrow) LinearityEditorDialog(editor);
  if (dialog == nullptr) return 0;
  const INT_PTR result = dialog->Run(IDD_LINEARITY_EDITOR, owner);
  delete dialog;
  return result == 1 ? 1 : 0;
}

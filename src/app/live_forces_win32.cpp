// The "Live Forces" window (dialog 2200) on Win32: a modeless, resizable
// dialog; the session (app/live_forces.cpp) decides when to draw, this file
// renders the graph's shapes into an off-screen bitmap and copies it into
// the owner-drawn static when the static paints.
#include "app/live_forces_win32.h"

#include <commdlg.h>

#include <new>
#include <string>

#include "app/control_panel.h"
#include "app/live_forces.h"
#include "app/live_forces_ids.h"
#include "exec/log.h"
#include "ui/dialog_controls_win32.h"

namespace {

static_assert(sizeof(ForcePoint) == sizeof(POINT), "the points go to Polyline as they are");

struct Placement {
  int id;
  RECT start;  // in the client area at the size the dialog was made
};

// How each control follows a resize: the graph grows both ways, everything
// below it moves down, the right-hand buttons move right, the texts widen.
const int kMovedRight[] = {IDC_FORCES_SAVE, IDCANCEL};
const int kWidened[] = {IDC_FORCES_LATEST, IDC_FORCES_STATE};

class Window : public LiveForcesWindow {
 public:
  HWND dialog = nullptr;
  WindowDialogControls controls;
  ForceGraph graph;
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  int bitmapWidth = 0, bitmapHeight = 0;
  SIZE startClient{};
  SIZE minimumWindow{};
  Placement placements[16];
  int placementCount = 0;

  DialogControls& Controls() override { return controls; }

  void Redraw() override {
    HWND area = GetDlgItem(dialog, IDC_FORCES_GRAPH);
    RECT r;
    if (area == nullptr || !GetClientRect(area, &r) || r.right <= 0 || r.bottom <= 0) return;
    HDC dc = GetDC(area);
    if (dc == nullptr) return;
    if (r.right != bitmapWidth || r.bottom != bitmapHeight || memory == nullptr) {
      FreeBitmap();
      memory = CreateCompatibleDC(dc);
      bitmap = memory ? CreateCompatibleBitmap(dc, r.right, r.bottom) : nullptr;
      if (bitmap == nullptr) {
        FreeBitmap();
        ReleaseDC(area, dc);
        return;
      }
      SelectObject(memory, bitmap);
      SelectObject(memory, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
      bitmapWidth = r.right;
      bitmapHeight = r.bottom;
    }
    ReleaseDC(area, dc);
    TEXTMETRICW metrics{};
    GetTextMetricsW(memory, &metrics);
    BuildForceGraph(*Panel().liveForces.Samples(),
                    Panel().liveForces.GraphInputs(r.right, r.bottom, metrics.tmHeight), &graph);
    Render();
    InvalidateRect(area, nullptr, FALSE);
  }

  void Render() {
    SetBkMode(memory, TRANSPARENT);
    for (int i = 0; i < graph.shapeCount; ++i) {
      const ForceShape& s = graph.shapes[i];
      switch (s.kind) {
        case ForceShapeKind::kFill: {
          RECT r{s.left, s.top, s.right, s.bottom};
          HBRUSH brush = CreateSolidBrush(s.colour);
          FillRect(memory, &r, brush);
          DeleteObject(brush);
          break;
        }
        case ForceShapeKind::kLine:
        case ForceShapeKind::kPolyline: {
          HPEN pen = CreatePen(PS_SOLID, 1, s.colour);
          HGDIOBJ old = SelectObject(memory, pen);
          if (s.kind == ForceShapeKind::kLine) {
            MoveToEx(memory, s.left, s.top, nullptr);
            LineTo(memory, s.right, s.bottom);
          } else if (s.pointCount > 1) {
            Polyline(memory, reinterpret_cast<const POINT*>(&graph.points[s.firstPoint]), s.pointCount);
          }
          SelectObject(memory, old);
          DeleteObject(pen);
          break;
        }
        case ForceShapeKind::kText:
          SetTextColor(memory, s.colour);
          TextOutA(memory, s.left, s.top, s.text, static_cast<int>(strlen(s.text)));
          break;
      }
    }
  }

  void FreeBitmap() {
    if (memory) DeleteDC(memory);
    if (bitmap) DeleteObject(bitmap);
    memory = nullptr;
    bitmap = nullptr;
    bitmapWidth = bitmapHeight = 0;
  }

  void RememberLayout() {
    RECT client;
    GetClientRect(dialog, &client);
    startClient = SIZE{client.right, client.bottom};
    RECT window;
    GetWindowRect(dialog, &window);
    minimumWindow = SIZE{(window.right - window.left) * 2 / 3, window.bottom - window.top};
    for (HWND child = GetWindow(dialog, GW_CHILD); child && placementCount < 16;
         child = GetWindow(child, GW_HWNDNEXT)) {
      Placement& p = placements[placementCount++];
      p.id = GetDlgCtrlID(child);
      GetWindowRect(child, &p.start);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&p.start), 2);
    }
  }

  void Layout() {
    RECT client;
    GetClientRect(dialog, &client);
    const int dx = client.right - startClient.cx, dy = client.bottom - startClient.cy;
    HDWP batch = BeginDeferWindowPos(placementCount);
    for (int i = 0; i < placementCount && batch; ++i) {
      const Placement& p = placements[i];
      RECT r = p.start;
      if (p.id == IDC_FORCES_GRAPH) {
        r.right += dx;
        r.bottom += dy;
      } else {
        OffsetRect(&r, 0, dy);
        for (int id : kMovedRight) {
          if (id == p.id) OffsetRect(&r, dx, 0);
        }
        for (int id : kWidened) {
          if (id == p.id) r.right += dx;
        }
      }
      batch = DeferWindowPos(batch, GetDlgItem(dialog, p.id), nullptr, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) EndDeferWindowPos(batch);
    Redraw();
  }

  void SaveCsv() {
    wchar_t path[MAX_PATH] = L"LiveForces.csv";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn)) return;
    const std::string csv = Panel().liveForces.Csv();
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr) &&
                    written == csv.size();
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok) {
      LogPrintf(0, "LiveForces: the CSV file could not be written (error %lu)", error);
      MessageBoxW(dialog, L"The samples could not be written to that file.", L"", MB_OK | MB_ICONERROR);
    }
  }
};

Window* gWindow = nullptr;

INT_PTR CALLBACK LiveForcesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = gWindow;
  switch (message) {
    case WM_INITDIALOG: {
      w->dialog = dialog;
      w->controls.Attach(dialog);
      const char* spans[] = {"2 s", "10 s", "30 s"};
      for (int i = 0; i < 3; ++i) w->controls.AddComboItem(IDC_FORCES_SPAN, spans[i], i);
      w->controls.SelectComboItem(IDC_FORCES_SPAN, kDefaultSpanIndex);
      w->RememberLayout();
      return TRUE;
    }
    case WM_GETMINMAXINFO:
      if (w && w->minimumWindow.cx > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = POINT{w->minimumWindow.cx, w->minimumWindow.cy};
      }
      return TRUE;
    case WM_SIZE:
      if (w && w->placementCount > 0 && wParam != SIZE_MINIMIZED) w->Layout();
      return TRUE;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (!w || item->CtlID != IDC_FORCES_GRAPH) return FALSE;
      if (w->memory) {
        BitBlt(item->hDC, 0, 0, w->bitmapWidth, w->bitmapHeight, w->memory, 0, 0, SRCCOPY);
      } else {
        FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (!w) return FALSE;
      switch (LOWORD(wParam)) {
        case IDCANCEL:
          DestroyWindow(dialog);
          return TRUE;
        case IDC_FORCES_SPAN:
          if (HIWORD(wParam) == CBN_SELCHANGE) Panel().liveForces.SetSpan(w->controls.ComboSelection(IDC_FORCES_SPAN));
          return TRUE;
        case IDC_FORCES_PAUSE:
          Panel().liveForces.SetPaused(w->controls.IsChecked(IDC_FORCES_PAUSE));
          return TRUE;
        case IDC_FORCES_SAVE:
          w->SaveCsv();
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      Panel().liveForces.Close();
      if (w) w->FreeBitmap();
      return FALSE;
    case WM_NCDESTROY:
      delete gWindow;
      gWindow = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

HWND LiveForcesWindowHandle() { return gWindow ? gWindow->dialog : nullptr; }

void CloseLiveForcesWindow() {
  if (gWindow && gWindow->dialog) DestroyWindow(gWindow->dialog);
}

void OpenLiveForcesWindow(ControlPanel& panel, void* owner) {
  if (gWindow != nullptr) {
    if (IsIconic(gWindow->dialog)) ShowWindow(gWindow->dialog, SW_RESTORE);
    SetForegroundWindow(gWindow->dialog);
    return;
  }
  gWindow = new (std::nothrow) Window;
  if (gWindow == nullptr) return;
  // Owned by nobody: the frame may hide to the tray while the graph stays up.
  (void)owner;
  HWND dialog = CreateDialogParamW(static_cast<HINSTANCE>(panel.instance), MAKEINTRESOURCEW(IDD_LIVE_FORCES),
                                   nullptr, LiveForcesProc, 0);
  if (dialog == nullptr) {
    LogPrintf(0, "OpenLiveForcesWindow: the window could not be created (error %lu)", GetLastError());
    delete gWindow;
    gWindow = nullptr;
    return;
  }
  if (!panel.liveForces.Open(gWindow)) {
    DestroyWindow(dialog);
    return;
  }
  ShowWindow(dialog, SW_SHOW);
}

// The "Live Forces" window (dialog 2200) on Win32: a modeless, resizable
// dialog; the session (app/live_forces.cpp) decides when to draw, this file
// renders the graph's shapes into an off-screen bitmap and copies it into
// the graph's area (a window class of its own, with its own DC).
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
  // The backdrop shapes drawn once (texts cost most under Wine), kept until
  // they change; backdropKey sums what they are.
  HDC backdropDc = nullptr;
  HBITMAP backdropBitmap = nullptr;
  uint64_t backdropKey = 0;
  int bitmapWidth = 0, bitmapHeight = 0;
  int textHeight = 0;  // of the dialog's font in the bitmaps
  SIZE startClient{};
  SIZE minimumWindow{};
  Placement placements[16];
  int placementCount = 0;

  DialogControls& Controls() override { return controls; }

  void Redraw() override {
    HWND area = GetDlgItem(dialog, IDC_FORCES_GRAPH);
    RECT r;
    if (area == nullptr || !GetClientRect(area, &r) || r.right <= 0 || r.bottom <= 0) return;
    // The graph's own DC (its class has CS_OWNDC): under Wine a DC from the
    // cache costs a server round trip for the visible region on every GetDC,
    // and a reset of its attributes on every ReleaseDC, which selects the
    // font again and with it reads the X resources from disk.
    HDC screen = GetDC(area);
    if (screen == nullptr) return;
    if (r.right != bitmapWidth || r.bottom != bitmapHeight || memory == nullptr) {
      if (!MakeBitmaps(screen, r.right, r.bottom)) {
        ReleaseDC(area, screen);
        return;
      }
    }
    BuildForceGraph(*Panel().liveForces.Samples(), Panel().liveForces.GraphInputs(r.right, r.bottom, textHeight),
                    &graph);
    Render();
    // Copied straight onto the screen: an invalidation would cost a paint
    // cycle through the window server 30 times a second.
    BitBlt(screen, 0, 0, bitmapWidth, bitmapHeight, memory, 0, 0, SRCCOPY);
    ReleaseDC(area, screen);
  }

  bool MakeBitmaps(HDC screen, int width, int height) {
    FreeBitmap();
    memory = CreateCompatibleDC(screen);
    bitmap = memory ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    if (bitmap == nullptr) {
      FreeBitmap();
      return false;
    }
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    SelectObject(memory, bitmap);
    SelectObject(memory, font);
    backdropDc = CreateCompatibleDC(screen);
    backdropBitmap = backdropDc ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    if (backdropBitmap) {
      SelectObject(backdropDc, backdropBitmap);
      SelectObject(backdropDc, font);
    }
    backdropKey = 0;
    bitmapWidth = width;
    bitmapHeight = height;
    // The font stays with the bitmaps: its height is asked once, not per picture.
    TEXTMETRICW metrics{};
    textHeight = GetTextMetricsW(memory, &metrics) ? metrics.tmHeight : 0;
    return true;
  }

  // Pens and brushes by colour: the graph has a handful, drawn 30 times a second.
  struct Tool {
    uint32_t colour;
    HPEN pen;
    HBRUSH brush;
  } tools[16] = {};
  int toolCount = 0;
  Tool* ToolOf(uint32_t colour) {
    for (int i = 0; i < toolCount; ++i) {
      if (tools[i].colour == colour) return &tools[i];
    }
    if (toolCount == 16) return nullptr;
    Tool& t = tools[toolCount];
    t = Tool{colour, CreatePen(PS_SOLID, 1, colour), CreateSolidBrush(colour)};
    if (t.pen == nullptr || t.brush == nullptr) {
      if (t.pen) DeleteObject(t.pen);
      if (t.brush) DeleteObject(t.brush);
      return nullptr;
    }
    ++toolCount;
    return &t;
  }
  void FreeTools() {
    for (int i = 0; i < toolCount; ++i) {
      DeleteObject(tools[i].pen);
      DeleteObject(tools[i].brush);
    }
    toolCount = 0;
  }

  uint64_t BackdropKey() const {
    uint64_t key = 1469598103934665603ull;
    auto mix = [&](uint64_t v) { key = (key ^ v) * 1099511628211ull; };
    for (int i = 0; i < graph.shapeCount; ++i) {
      const ForceShape& s = graph.shapes[i];
      if (!s.backdrop) continue;
      mix(static_cast<uint64_t>(s.kind) << 32 | s.colour);
      mix(static_cast<uint64_t>(static_cast<uint32_t>(s.left)) << 32 | static_cast<uint32_t>(s.top));
      mix(static_cast<uint64_t>(static_cast<uint32_t>(s.right)) << 32 | static_cast<uint32_t>(s.bottom));
      for (const char* c = s.text; *c; ++c) mix(static_cast<uint8_t>(*c));
    }
    return key;
  }

  void Render() {
    const uint64_t key = BackdropKey();
    if (backdropBitmap == nullptr) {
      DrawShapes(memory, true);
    } else {
      if (key != backdropKey) {
        DrawShapes(backdropDc, true);
        backdropKey = key;
      }
      BitBlt(memory, 0, 0, bitmapWidth, bitmapHeight, backdropDc, 0, 0, SRCCOPY);
    }
    DrawShapes(memory, false);
  }

  void DrawShapes(HDC target, bool backdrop) {
    HDC memory = target;
    SetBkMode(memory, TRANSPARENT);
    HGDIOBJ oldPen = SelectObject(memory, GetStockObject(BLACK_PEN));
    for (int i = 0; i < graph.shapeCount; ++i) {
      const ForceShape& s = graph.shapes[i];
      if (s.backdrop != backdrop) continue;
      switch (s.kind) {
        case ForceShapeKind::kFill: {
          RECT r{s.left, s.top, s.right, s.bottom};
          if (Tool* t = ToolOf(s.colour)) FillRect(memory, &r, t->brush);
          break;
        }
        case ForceShapeKind::kLine:
        case ForceShapeKind::kPolyline: {
          Tool* t = ToolOf(s.colour);
          if (t == nullptr) break;
          SelectObject(memory, t->pen);
          if (s.kind == ForceShapeKind::kLine) {
            MoveToEx(memory, s.left, s.top, nullptr);
            LineTo(memory, s.right, s.bottom);
          } else if (s.pointCount > 1) {
            Polyline(memory, reinterpret_cast<const POINT*>(&graph.points[s.firstPoint]), s.pointCount);
          }
          break;
        }
        case ForceShapeKind::kText:
          SetTextColor(memory, s.colour);
          TextOutA(memory, s.left, s.top, s.text, static_cast<int>(strlen(s.text)));
          break;
      }
    }
    SelectObject(memory, oldPen);
  }

  void FreeBitmap() {
    if (memory) DeleteDC(memory);
    if (bitmap) DeleteObject(bitmap);
    if (backdropDc) DeleteDC(backdropDc);
    if (backdropBitmap) DeleteObject(backdropBitmap);
    memory = nullptr;
    bitmap = nullptr;
    backdropDc = nullptr;
    backdropBitmap = nullptr;
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

constexpr wchar_t kGraphClass[] = L"TillersetForceGraph";

// The graph's area: the picture drawn off screen, copied on paint.
LRESULT CALLBACK GraphProc(HWND area, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the picture covers all of it
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (HDC dc = BeginPaint(area, &paint)) {
        Window* w = gWindow;
        if (w && w->memory) {
          BitBlt(dc, 0, 0, w->bitmapWidth, w->bitmapHeight, w->memory, 0, 0, SRCCOPY);
        } else {
          FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        }
      }
      EndPaint(area, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(area, message, wParam, lParam);
  }
}

bool RegisterGraphClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = GraphProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kGraphClass;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

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
      if (w) {
        w->FreeBitmap();
        w->FreeTools();
      }
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
  if (!RegisterGraphClass(static_cast<HINSTANCE>(panel.instance))) {
    LogPrintf(0, "OpenLiveForcesWindow: the graph's window class could not be registered (error %lu)", GetLastError());
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

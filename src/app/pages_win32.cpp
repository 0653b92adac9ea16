// The page dialogs on Windows: creation inside the frame window, and the
// dialog procedure that hands scroll and command messages to the page logic.
#include <windows.h>
#include <commctrl.h>

#include "app/control_panel.h"
#include "ui/dialog_controls_win32.h"
#include "app/frame_win32.h"
#include "app/main_page_ids.h"
#include "app/pages.h"
#include "app/pages_win32.h"
#include "exec/log.h"
#include "input/wheel_state_gdi_win32.h"

namespace {

WindowDialogControls gMainPage;
WindowDialogControls gStrip;
GdiWheelStateRenderer gWheelState;  // the picture on the main page

// The picture's room: inside the "Status" box, below its two rows of texts,
// in the page's dialog units, so it follows the page at any display scaling.
constexpr RECT kWheelStateRoomUnits{5, 82, 213, 146};

void PlaceWheelStatePicture(HWND page) {
  RECT room = kWheelStateRoomUnits;
  MapDialogRect(page, &room);
  int dpi = 96;
  if (HDC dc = GetDC(page)) {
    dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(page, dc);
  }
  gWheelState.Place(room, dpi);
}

WindowDialogControls* ControlsOf(HWND window) {
  return reinterpret_cast<WindowDialogControls*>(GetWindowLongPtrW(window, DWLP_USER));
}

INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      // The wrapper comes in with the creation; commands can arrive before
      // CreateDialogParam returns.
      auto* controls = reinterpret_cast<WindowDialogControls*>(lParam);
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      if (controls != nullptr) controls->Attach(window);
      return TRUE;
    }
    case WM_DESTROY:
      EndDialog(window, 0);
      return TRUE;
    case WM_ACTIVATE:
    case WM_TIMER:
      return TRUE;
    case WM_PAINT:
      // The main page's background, then the last wheel-state picture over it.
      if (ControlsOf(window) != &gMainPage) return FALSE;
      {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (dc != nullptr) gWheelState.Paint(dc);
        EndPaint(window, &paint);
      }
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDCANCEL) {
        EndDialog(window, id);
        return TRUE;
      }
      WindowDialogControls* page = ControlsOf(window);
      if (page != nullptr) PageCommand(Panel(), *page, id, HIWORD(wParam));
      return TRUE;
    }
    case WM_HSCROLL:
      // lParam is the trackbar; a dialog scroll bar would send null.
      PageScroll(Panel(), reinterpret_cast<void*>(lParam));
      return TRUE;
    default:
      return FALSE;
  }
}

class FramePages : public PageWindows {
 public:
  void Attach(HWND frame, HINSTANCE instance, bool show) {
    frame_ = frame;
    instance_ = instance;
    show_ = show;
  }

  DialogControls* CreatePage(int dialogId) override {
    WindowDialogControls* controls = dialogId == IDD_MAIN_PAGE ? &gMainPage : &gStrip;
    HWND page = CreateDialogParamW(instance_, MAKEINTRESOURCEW(dialogId), frame_, PageDialogProc,
                                   reinterpret_cast<LPARAM>(controls));
    if (page == nullptr) {
      LogPrintf(0, "CreatePage: dialog %d could not be created (error %lu)", dialogId,
                GetLastError());
      return nullptr;
    }
    controls->Attach(page);
    if (controls == &gMainPage) {
      gWheelState.Attach(page);
      PlaceWheelStatePicture(page);
      Panel().inputView.picture = &gWheelState;
    }
    return controls;
  }

  void PlacePage(DialogControls& page, int x, int y, int* width, int* height) override {
    HWND window = static_cast<HWND>(page.Window());
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect{};
    GetWindowRect(window, &rect);
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
  }

  void FitFrameAround(int width, int height) override {
    // A fixed +10/+32 fits Wine's borders but clips the pages under the wider
    // borders of current Windows; the system's own frame metrics fit both.
    RECT rect{0, 0, width, height};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(frame_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(frame_, GWL_EXSTYLE));
    if (!AdjustWindowRectEx(&rect, style, FALSE, exStyle)) rect = RECT{0, 0, width + 10, height + 32};
    SetWindowPos(frame_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void FrameTitle(char* out, size_t size) override {
    out[0] = 0;
    GetWindowTextA(frame_, out, static_cast<int>(size));
  }

  void SetFrameTitle(const char* title) override { SetWindowTextA(frame_, title); }

  void ShowFrame() override {
    if (show_) ShowWindow(frame_, SW_SHOWNORMAL);
  }

 private:
  HWND frame_ = nullptr;
  HINSTANCE instance_ = nullptr;
  bool show_ = true;
};

}  // namespace

PageWindows& FramePageWindows(HWND frame, bool showFrame) {
  // The pages hold trackbars, which live in the common controls.
  INITCOMMONCONTROLSEX init{sizeof(init), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&init);
  static FramePages windows;
  windows.Attach(frame, static_cast<HINSTANCE>(Panel().instance), showFrame);
  return windows;
}

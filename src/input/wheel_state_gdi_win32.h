#pragma once
// Draws the wheel-state picture on a page with GDI: the shapes go into an
// off-screen bitmap of the picture's area, which is then copied onto the page
// in one piece (only the part that changed), so 30 updates a second neither
// flicker nor touch anything outside the picture. The page's WM_PAINT copies
// the last picture again.
#include <windows.h>

#include "input/wheel_state_picture.h"

class GdiWheelStateRenderer : public WheelStateRenderer {
 public:
  GdiWheelStateRenderer() = default;
  GdiWheelStateRenderer(const GdiWheelStateRenderer&) = delete;
  GdiWheelStateRenderer& operator=(const GdiWheelStateRenderer&) = delete;
  ~GdiWheelStateRenderer() override;

  void Attach(HWND page) { page_ = page; }
  // Where on the page the picture goes, from the page's layout: room is the
  // space it may take (page pixels) and dpi the display's. The shapes are
  // drawn in 96 DPI page pixels and scaled by dpi / 96 (less when that would
  // not fit the room), from their place at 96 DPI moved into the room. At
  // 96 DPI, with the room around it, the picture stays where the shapes say.
  void Place(const RECT& room, int dpi);
  void Show(const WheelStatePicture& picture, const PictureRect& changed) override;
  // From the page's WM_PAINT, with the paint's device context.
  void Paint(HDC dc);

 private:
  bool MakeBitmap();
  void Render(const WheelStatePicture& picture, const PictureRect& part);
  void CopyTo(HDC dc, const PictureRect& part);

  // From picture coordinates (the shapes') to page pixels.
  RECT OnPage(const PictureRect& part) const;

  HWND page_ = nullptr;
  double scale_ = 1.0;
  int left_ = kWheelStatePictureArea.left;  // the picture's corner on the page
  int top_ = kWheelStatePictureArea.top;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ firstBitmap_ = nullptr;
  HFONT font_ = nullptr;  // the system font at 96 DPI size, on a scaled display
  int dpi_ = 96;
  bool drawn_ = false;
};

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
  void Show(const WheelStatePicture& picture, const PictureRect& changed) override;
  // From the page's WM_PAINT, with the paint's device context.
  void Paint(HDC dc);

 private:
  bool MakeBitmap();
  void Render(const WheelStatePicture& picture, const PictureRect& part);
  void CopyTo(HDC dc, const PictureRect& part);

  HWND page_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ firstBitmap_ = nullptr;
  bool drawn_ = false;
};

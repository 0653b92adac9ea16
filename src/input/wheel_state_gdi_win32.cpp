#include "input/wheel_state_gdi_win32.h"

namespace {

constexpr int kWidth = kWheelStatePictureArea.right - kWheelStatePictureArea.left;
constexpr int kHeight = kWheelStatePictureArea.bottom - kWheelStatePictureArea.top;

RECT ToRect(const PictureRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

GdiWheelStateRenderer::~GdiWheelStateRenderer() {
  if (memory_ != nullptr) {
    SelectObject(memory_, firstBitmap_);
    DeleteDC(memory_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

bool GdiWheelStateRenderer::MakeBitmap() {
  if (memory_ != nullptr) return true;
  if (page_ == nullptr) return false;
  HDC page = GetDC(page_);
  if (page == nullptr) return false;
  memory_ = CreateCompatibleDC(page);
  bitmap_ = memory_ != nullptr ? CreateCompatibleBitmap(page, kWidth, kHeight) : nullptr;
  ReleaseDC(page_, page);
  if (bitmap_ == nullptr) {
    if (memory_ != nullptr) DeleteDC(memory_);
    memory_ = nullptr;
    return false;
  }
  firstBitmap_ = SelectObject(memory_, bitmap_);
  // The shapes are in page coordinates: the bitmap's origin is the area's corner.
  SetViewportOrgEx(memory_, -kWheelStatePictureArea.left, -kWheelStatePictureArea.top, nullptr);
  return true;
}

void GdiWheelStateRenderer::Render(const WheelStatePicture& picture) {
  HDC dc = memory_;
  RECT area = ToRect(kWheelStatePictureArea);
  FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));

  HGDIOBJ firstPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ firstBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  HBRUSH fill = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
  SetTextColor(dc, kPictureBlack);
  SetBkMode(dc, OPAQUE);

  for (int i = 0; i < picture.count; ++i) {
    const PictureShape& shape = picture.shapes[i];
    switch (shape.kind) {
      case ShapeKind::kPolygon: {
        POINT points[3];
        for (int p = 0; p < 3; ++p) points[p] = POINT{shape.points[p].x, shape.points[p].y};
        HPEN pen = CreatePen(PS_SOLID, shape.penWidth, shape.colour);
        SelectObject(dc, pen != nullptr ? static_cast<HGDIOBJ>(pen) : GetStockObject(DC_PEN));
        Polygon(dc, points, 3);
        SelectObject(dc, GetStockObject(DC_PEN));
        if (pen != nullptr) DeleteObject(pen);
        break;
      }
      case ShapeKind::kFrame:
        SetDCPenColor(dc, shape.colour);
        Rectangle(dc, shape.rect.left, shape.rect.top, shape.rect.right, shape.rect.bottom);
        break;
      case ShapeKind::kFill: {
        RECT r = ToRect(shape.rect);
        SetDCBrushColor(dc, shape.colour);
        FillRect(dc, &r, fill);
        break;
      }
      case ShapeKind::kText: {
        RECT r = ToRect(shape.rect);
        SetBkColor(dc, shape.colour);
        DrawTextA(dc, shape.text, -1, &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
        break;
      }
    }
  }

  SelectObject(dc, firstPen);
  SelectObject(dc, firstBrush);
}

void GdiWheelStateRenderer::CopyTo(HDC dc) {
  BitBlt(dc, kWheelStatePictureArea.left, kWheelStatePictureArea.top, kWidth, kHeight, memory_,
         kWheelStatePictureArea.left, kWheelStatePictureArea.top, SRCCOPY);
}

void GdiWheelStateRenderer::Show(const WheelStatePicture& picture) {
  if (!MakeBitmap()) return;
  Render(picture);
  drawn_ = true;
  HDC page = GetDC(page_);
  if (page == nullptr) return;
  CopyTo(page);
  ReleaseDC(page_, page);
}

void GdiWheelStateRenderer::Paint(HDC dc) {
  if (drawn_ && memory_ != nullptr) CopyTo(dc);
}

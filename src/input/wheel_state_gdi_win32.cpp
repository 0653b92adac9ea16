#include "input/wheel_state_gdi_win32.h"

#include <cmath>

namespace {

constexpr int kWidth = kWheelStatePictureArea.right - kWheelStatePictureArea.left;
constexpr int kHeight = kWheelStatePictureArea.bottom - kWheelStatePictureArea.top;

RECT ToRect(const PictureRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Where a shape may paint: its rectangle, its points and outline, or its text
// (not clipped: a few pixels more).
PictureRect Bounds(const PictureShape& shape) {
  if (shape.kind == ShapeKind::kPolygon) {
    PictureRect r{shape.points[0].x, shape.points[0].y, shape.points[0].x, shape.points[0].y};
    for (const PicturePoint& p : shape.points) {
      if (p.x < r.left) r.left = p.x;
      if (p.y < r.top) r.top = p.y;
      if (p.x > r.right) r.right = p.x;
      if (p.y > r.bottom) r.bottom = p.y;
    }
    const int32_t pen = shape.penWidth + 1;
    return PictureRect{r.left - pen, r.top - pen, r.right + pen, r.bottom + pen};
  }
  if (shape.kind == ShapeKind::kText) {
    return PictureRect{shape.rect.left - 4, shape.rect.top - 4, shape.rect.right + 8, shape.rect.bottom + 8};
  }
  return shape.rect;
}

bool Meets(const PictureRect& a, const PictureRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

void GdiWheelStateRenderer::Place(const RECT& room, int dpi) {
  double scale = dpi > 0 ? dpi / 96.0 : 1.0;
  const int roomWidth = room.right - room.left;
  const int roomHeight = room.bottom - room.top;
  if (roomWidth > 0 && kWidth * scale > roomWidth) scale = static_cast<double>(roomWidth) / kWidth;
  if (roomHeight > 0 && kHeight * scale > roomHeight) scale = static_cast<double>(roomHeight) / kHeight;
  int left = static_cast<int>(std::lround(kWheelStatePictureArea.left * scale));
  int top = static_cast<int>(std::lround(kWheelStatePictureArea.top * scale));
  const int width = static_cast<int>(std::ceil(kWidth * scale));
  const int height = static_cast<int>(std::ceil(kHeight * scale));
  if (left + width > room.right) left = room.right - width;
  if (top + height > room.bottom) top = room.bottom - height;
  if (left < room.left) left = room.left;
  if (top < room.top) top = room.top;
  if (scale == scale_ && left == left_ && top == top_) return;
  scale_ = scale;
  dpi_ = dpi > 0 ? dpi : 96;
  left_ = left;
  top_ = top;
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
  // A bitmap of the old size and a picture at the old place are no use now.
  if (memory_ != nullptr) {
    SelectObject(memory_, firstBitmap_);
    DeleteDC(memory_);
    memory_ = nullptr;
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  drawn_ = false;
}

RECT GdiWheelStateRenderer::OnPage(const PictureRect& part) const {
  const PictureRect& area = kWheelStatePictureArea;
  return RECT{left_ + static_cast<LONG>(std::floor((part.left - area.left) * scale_)),
              top_ + static_cast<LONG>(std::floor((part.top - area.top) * scale_)),
              left_ + static_cast<LONG>(std::ceil((part.right - area.left) * scale_)),
              top_ + static_cast<LONG>(std::ceil((part.bottom - area.top) * scale_))};
}

GdiWheelStateRenderer::~GdiWheelStateRenderer() {
  if (font_ != nullptr) DeleteObject(font_);
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
  const RECT size = OnPage(kWheelStatePictureArea);
  bitmap_ = memory_ != nullptr ? CreateCompatibleBitmap(page, size.right - size.left, size.bottom - size.top) : nullptr;
  ReleaseDC(page_, page);
  if (bitmap_ == nullptr) {
    if (memory_ != nullptr) DeleteDC(memory_);
    memory_ = nullptr;
    return false;
  }
  firstBitmap_ = SelectObject(memory_, bitmap_);
  // The system font grows with the display already; drawn through the scale
  // it would grow twice and spill out of the button boxes.
  LOGFONTW system{};
  if (scale_ != 1.0 && GetObjectW(GetStockObject(SYSTEM_FONT), sizeof system, &system) == sizeof system) {
    system.lfHeight = static_cast<LONG>(std::lround(system.lfHeight * 96.0 / dpi_));
    system.lfWidth = static_cast<LONG>(std::lround(system.lfWidth * 96.0 / dpi_));
    font_ = CreateFontIndirectW(&system);
  }
  return true;
}

void GdiWheelStateRenderer::Render(const WheelStatePicture& picture, const PictureRect& part) {
  HDC dc = memory_;
  // The bitmap holds the last picture: only the part that changed is drawn again.
  const int saved = SaveDC(dc);
  // The shapes are in 96 DPI page coordinates: the bitmap's origin is the
  // area's corner, and on a scaled display the shapes, pens and texts grow
  // with it. (Restored below: the copy to the page is in the bitmap's pixels.)
  if (scale_ == 1.0) {
    SetViewportOrgEx(dc, -kWheelStatePictureArea.left, -kWheelStatePictureArea.top, nullptr);
  } else {
    SetGraphicsMode(dc, GM_ADVANCED);
    const XFORM toBitmap{static_cast<FLOAT>(scale_), 0.0f, 0.0f, static_cast<FLOAT>(scale_),
                         static_cast<FLOAT>(-kWheelStatePictureArea.left * scale_),
                         static_cast<FLOAT>(-kWheelStatePictureArea.top * scale_)};
    SetWorldTransform(dc, &toBitmap);
  }
  IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
  RECT area = ToRect(kWheelStatePictureArea);
  FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));

  HGDIOBJ firstPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ firstBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  HBRUSH fill = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
  if (font_ != nullptr) SelectObject(dc, font_);
  SetTextColor(dc, kPictureBlack);
  SetBkMode(dc, OPAQUE);
  // The dialogs' font, not the device context's bold system font, whose two
  // digits fill a button box from frame to frame.
  HGDIOBJ firstFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));

  for (int i = 0; i < picture.count; ++i) {
    const PictureShape& shape = picture.shapes[i];
    // A turning wheel redraws the pointer, not 32 numbered boxes.
    if (!Meets(Bounds(shape), part)) continue;
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
        DrawTextA(dc, shape.text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        break;
      }
    }
  }

  SelectObject(dc, firstPen);
  SelectObject(dc, firstBrush);
  SelectObject(dc, firstFont);
  RestoreDC(dc, saved);
}

void GdiWheelStateRenderer::CopyTo(HDC dc, const PictureRect& part) {
  const RECT page = OnPage(part);
  const RECT whole = OnPage(kWheelStatePictureArea);
  BitBlt(dc, page.left, page.top, page.right - page.left, page.bottom - page.top, memory_, page.left - whole.left,
         page.top - whole.top, SRCCOPY);
}

void GdiWheelStateRenderer::Show(const WheelStatePicture& picture, const PictureRect& changed) {
  if (!MakeBitmap()) return;
  // Before the first picture neither bitmap nor screen holds one: all of it.
  const PictureRect part = drawn_ ? changed : kWheelStatePictureArea;
  if (part.right <= part.left || part.bottom <= part.top) return;
  Render(picture, part);
  drawn_ = true;
  HDC page = GetDC(page_);
  if (page == nullptr) return;
  CopyTo(page, part);
  ReleaseDC(page_, page);
}

void GdiWheelStateRenderer::Paint(HDC dc) {
  if (drawn_ && memory_ != nullptr) CopyTo(dc, kWheelStatePictureArea);
}

#include "platform/pixels/drawing.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/pixels/clip.h"

namespace platform {

namespace {

// Read once: the edge repair asks before each of its thousands of small copies.
std::atomic<bool> reference_path{[] {
  const char* value = std::getenv("ANYTURN_REFERENCE");
  return value != nullptr && std::strcmp(value, "1") == 0;
}()};

bool Whole(const Bitmap& bitmap, PixelRect area) {
  return area.left == 0 && area.top == 0 && area.right == bitmap.width() &&
         area.bottom == bitmap.height();
}

// The target of a call that writes `area`: all of it overwritten needs nothing worked out.
PixelView Target(Bitmap& dst, PixelRect area) {
  return Whole(dst, area) ? dst.WriteAll().pixels : dst.WriteArea(area);
}

// Rows stay rows at the picture's own size: a copy, or a mirror along either axis. A
// target whose clear is still pending takes it as a deferred copy: only what is read of it
// is copied (the edge repair reads two strips of the 180-degree copy).
void CopyOrMirror(Bitmap& dst, Point p1, int dx, int dy, const Bitmap& src, int32_t src_x,
                  int32_t src_y, int32_t width, int32_t height) {
  const Run cols = ClipRun(p1.x, dx, dst.width(), src_x, src.width(), width);
  const Run rows = ClipRun(p1.y, dy, dst.height(), src_y, src.height(), height);
  if (cols.count == 0 || rows.count == 0) return;
  const RowCopy copy{static_cast<int32_t>(p1.x + dx * cols.skip),
                     static_cast<int32_t>(p1.y + dy * rows.skip),
                     dx,
                     dy,
                     static_cast<int32_t>(src_x + cols.skip),
                     static_cast<int32_t>(src_y + rows.skip),
                     static_cast<int32_t>(cols.count),
                     static_cast<int32_t>(rows.count)};
  if (!dst.DeferCopy(src, copy)) CopyRows(dst, src, copy);
}

void TransposeInto(Bitmap& dst, const Bitmap& src, const Transposition& t) {
  const ConstPixelView from = src.Read();
  const PixelRect area = TransposedArea(t, from, {nullptr, 0, dst.width(), dst.height()});
  if (area.left >= area.right) return;
  Transpose(Target(dst, area), from, t);
}

}  // namespace

bool UseReferencePath() {
  return reference_path.load(std::memory_order_relaxed);
}

void ChooseReferencePath(bool reference) {
  reference_path.store(reference, std::memory_order_relaxed);
}

bool PlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                  int32_t src_y, int32_t width, int32_t height) {
  if (&dst == &src || width <= 0 || height <= 0) {
    return ReferencePlgBltPixels(dst, corners, src, src_x, src_y, width, height);
  }
  const Point p1 = corners[0], p2 = corners[1], p3 = corners[2];
  const int64_t ux = int64_t{p2.x} - p1.x, uy = int64_t{p2.y} - p1.y;
  const int64_t vx = int64_t{p3.x} - p1.x, vy = int64_t{p3.y} - p1.y;
  if (uy == 0 && vx == 0 && std::abs(ux) == width && std::abs(vy) == height) {
    CopyOrMirror(dst, p1, ux > 0 ? 1 : -1, vy > 0 ? 1 : -1, src, src_x, src_y, width, height);
    return true;
  }
  if (ux == 0 && vy == 0 && std::abs(uy) == width && std::abs(vx) == height) {
    // Centre (X + ½, Y + ½) maps back to column (Y − P1.y) or (P1.y − Y − 1), and to row
    // (X − P1.x) or (P1.x − X − 1): see pixel_conventions.md.
    const int64_t col_step = uy > 0 ? 1 : -1, row_step = vx > 0 ? 1 : -1;
    const int64_t col_at_0 = uy > 0 ? -int64_t{p1.y} : int64_t{p1.y} - 1;
    const int64_t row_at_0 = vx > 0 ? -int64_t{p1.x} : int64_t{p1.x} - 1;
    TransposeInto(dst, src, {col_at_0, col_step, row_at_0, row_step, src_x, src_y, width, height});
    return true;
  }
  return ReferencePlgBltPixels(dst, corners, src, src_x, src_y, width, height);
}

bool ReferencePlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                           int32_t src_y, int32_t width, int32_t height) {
  if (&dst == &src) {
    const Bitmap before = src;
    return ReferencePlgBlt(dst.Write(), corners, before.Read(), src_x, src_y, width, height);
  }
  const ConstPixelView from = src.Read();
  return ReferencePlgBlt(dst.Write(), corners, from, src_x, src_y, width, height);
}

void BitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                  const Bitmap& src, int32_t src_x, int32_t src_y) {
  const Run cols = ClipRun(x, 1, dst.width(), src_x, src.width(), width);
  const Run rows = ClipRun(y, 1, dst.height(), src_y, src.height(), height);
  if (cols.count == 0 || rows.count == 0) return;
  const auto left = static_cast<int32_t>(x + cols.skip), top = static_cast<int32_t>(y + rows.skip);
  const auto from_left = static_cast<int32_t>(src_x + cols.skip),
             from_top = static_cast<int32_t>(src_y + rows.skip);
  const auto w = static_cast<int32_t>(cols.count), h = static_cast<int32_t>(rows.count);
  if (&dst == &src) {
    const PixelView pixels = dst.Write();
    CopyRect(pixels, left, top, pixels, from_left, from_top, w, h);
    return;
  }
  const PixelView to = Target(dst, {left, top, left + w, top + h});
  // A source with a draw still pending works out the copied area only.
  const ConstPixelView from = src.ReadArea({from_left, from_top, from_left + w, from_top + h});
  CopyRect(to, left, top, from, from_left, from_top, w, h);
}

void ReferenceBitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                           const Bitmap& src, int32_t src_x, int32_t src_y) {
  const ConstPixelView from = src.Read();
  ReferenceBitBlt(dst.Write(), x, y, width, height, from, src_x, src_y);
}

void CopyRows(Bitmap& dst, const Bitmap& src, const RowCopy& copy) {
  const ConstPixelView from = src.Read();
  const bool covers = copy.width == dst.width() && copy.height == dst.height();
  CopyRowsAll(covers ? dst.WriteAll().pixels : dst.Write(), from, copy);
}

void DrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst) {
  const ConstPixelView from = src.Read();
  // A clear still pending on the target is folded into this pass: each row is cleared
  // just before it is drawn, while it is in cache.
  const auto [pixels, clear] = dst.WriteAll();
  DrawTransformed(pixels, from, src_to_dst, {0, 0, dst.width(), dst.height()}, clear);
}

void ReferenceDrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst) {
  const ConstPixelView from = src.Read();
  ReferenceDrawTransformed(dst.Write(), from, src_to_dst);
}

}  // namespace platform

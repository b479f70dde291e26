#include "platform/pixels/drawing.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/pixels/clip.h"
#include "platform/pixels/evaluator.h"

namespace platform {

namespace {

// Read once: the edge repair asks before each of its thousands of small copies.
std::atomic<bool> reference_path{[] {
  const char* value = std::getenv("ANYTURN_REFERENCE");
  return value != nullptr && std::strcmp(value, "1") == 0;
}()};

// Deeper than this, the target's image is stored before another is made over it.
constexpr int kMaxDepth = 12;

Image Base(const Bitmap& dst) {
  return Settled(dst.image(), kMaxDepth);
}

// Rows stay rows at the picture's own size: a copy, or a mirror along either axis.
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
  CopyRows(dst, src, copy);
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
  if (width <= 0 || height <= 0) {
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
    const Transposition t{col_at_0, col_step, row_at_0, row_step, src_x, src_y, width, height};
    const PixelRect area = TransposedArea(t, {nullptr, 0, src.width(), src.height()},
                                          {nullptr, 0, dst.width(), dst.height()});
    if (area.left < area.right) dst.Set(Transposed(Base(dst), src.image(), t));
    return true;
  }
  return ReferencePlgBltPixels(dst, corners, src, src_x, src_y, width, height);
}

bool ReferencePlgBltPixels(Bitmap& dst, const Point corners[3], const Bitmap& src, int32_t src_x,
                           int32_t src_y, int32_t width, int32_t height) {
  const Bitmap before = src;  // the source as it is, should it be the target too
  const ConstPixelView from = before.Read();
  return ReferencePlgBlt(dst.Write(), corners, from, src_x, src_y, width, height);
}

void BitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                  const Bitmap& src, int32_t src_x, int32_t src_y) {
  const Run cols = ClipRun(x, 1, dst.width(), src_x, src.width(), width);
  const Run rows = ClipRun(y, 1, dst.height(), src_y, src.height(), height);
  if (cols.count == 0 || rows.count == 0) return;
  const auto left = static_cast<int32_t>(x + cols.skip), top = static_cast<int32_t>(y + rows.skip);
  const auto w = static_cast<int32_t>(cols.count), h = static_cast<int32_t>(rows.count);
  const Point from{static_cast<int32_t>(src_x + cols.skip), static_cast<int32_t>(src_y + rows.skip)};
  dst.Set(Pasted(Base(dst), src.image(), {left, top, left + w, top + h}, from));
}

void ReferenceBitBltPixels(Bitmap& dst, int32_t x, int32_t y, int32_t width, int32_t height,
                           const Bitmap& src, int32_t src_x, int32_t src_y) {
  const Bitmap before = src;
  const ConstPixelView from = before.Read();
  ReferenceBitBlt(dst.Write(), x, y, width, height, from, src_x, src_y);
}

void CopyRows(Bitmap& dst, const Bitmap& src, const RowCopy& copy) {
  dst.Set(CopiedRows(Base(dst), src.image(), copy));
}

void DrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst) {
  dst.Set(Drawn(Base(dst), src.image(), src_to_dst));
}

void ReferenceDrawTransformedPixels(Bitmap& dst, const Bitmap& src, const Affine& src_to_dst) {
  const Bitmap before = src;
  const ConstPixelView from = before.Read();
  ReferenceDrawTransformed(dst.Write(), from, src_to_dst);
}

void CompositePixels(Bitmap& dst, const Bitmap& picture, int32_t x, int32_t y) {
  dst.Set(Composited(Base(dst), picture.image(), x, y));
}

}  // namespace platform

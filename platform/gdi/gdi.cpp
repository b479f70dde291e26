#include "platform/gdi/gdi.h"

#include <algorithm>

#include "platform/base/trace.h"
#include "platform/pixels/drawing.h"

namespace platform {

BOOL PlgBlt(HDC dst, const Point points[3], HDC src, int32_t src_x, int32_t src_y, int32_t width,
            int32_t height, HBITMAP mask, int32_t /*mask_x*/, int32_t /*mask_y*/) {
  bool drawn = false;
  if (dst != nullptr && src != nullptr && mask == nullptr) {
    drawn = UseReferencePath()
                ? ReferencePlgBltPixels(dst->Pixels(), points, src->Pixels(), src_x, src_y, width,
                                        height)
                : PlgBltPixels(dst->Pixels(), points, src->Pixels(), src_x, src_y, width, height);
    if (drawn) dst->PixelsChanged();
  }
  if (Tracing()) {
    TraceRecord("PlgBlt")
        .Text("dst", dst ? dst->Name() : "")
        .Text("src", src ? src->Name() : "")
        .Points(
            "points",
            {{points[0].x, points[0].y}, {points[1].x, points[1].y}, {points[2].x, points[2].y}})
        .Numbers("srcRect", {src_x, src_y, width, height})
        .Bool("result", drawn)
        .Emit();
  }
  return drawn ? 1 : 0;
}

BOOL BitBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t src_x,
            int32_t src_y, uint32_t rop) {
  const bool supported = dst != nullptr && src != nullptr && rop == SRCCOPY;
  if (supported) {
    if (UseReferencePath()) {
      ReferenceBitBltPixels(dst->Pixels(), x, y, width, height, src->Pixels(), src_x, src_y);
    } else {
      BitBltPixels(dst->Pixels(), x, y, width, height, src->Pixels(), src_x, src_y);
    }
    dst->PixelsChanged();
  }
  if (Tracing()) {
    TraceRecord("BitBlt")
        .Text("dst", dst ? dst->Name() : "")
        .Text("src", src ? src->Name() : "")
        .Numbers("rect", {x, y, width, height})
        .Numbers("srcPos", {src_x, src_y})
        .Number("rop", int64_t{rop})
        .Emit();
  }
  return supported ? 1 : 0;
}

BOOL SetWindowPos(HWND window, HWND /*insert_after*/, int32_t /*x*/, int32_t /*y*/, int32_t width,
                  int32_t height, uint32_t flags) {
  if (Tracing()) {
    TraceRecord("SetWindowPos")
        .Text("surface", window ? window->Name() : "")
        .Number("width", int64_t{width})
        .Number("height", int64_t{height})
        .Number("flags", int64_t{flags})
        .Emit();
  }
  if (window == nullptr || (flags & SWP_NOMOVE) == 0) return 0;
  if ((flags & SWP_NOSIZE) == 0)
    window->SetOuterSizePixels(std::max(width, 0), std::max(height, 0));
  return 1;
}

}  // namespace platform

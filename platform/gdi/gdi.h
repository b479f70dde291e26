// The drawing and window calls the turning engine makes: a parallelogram blit, a block
// copy and a window resize. Pixel rules: pixel_conventions.md.
#pragma once

#include <cstdint>

#include "platform/gdi/surface.h"

namespace platform {

using BOOL = int32_t;

inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr uint32_t SWP_NOSIZE = 0x0001;
inline constexpr uint32_t SWP_NOMOVE = 0x0002;
inline constexpr uint32_t SWP_NOZORDER = 0x0004;
inline constexpr uint32_t SWP_NOACTIVATE = 0x0010;

// Draws the source rectangle (src_x, src_y, width, height) of `src` into `dst` so that
// its upper-left, upper-right and lower-left corners land on points[0..2]. The mask is
// not supported and must be null. Non-zero on success; zero, drawing nothing, for a
// parallelogram of zero area, an empty rectangle or a mask.
BOOL PlgBlt(HDC dst, const Point points[3], HDC src, int32_t src_x, int32_t src_y, int32_t width,
            int32_t height, HBITMAP mask, int32_t mask_x, int32_t mask_y);

// Copies the rectangle (x, y, width, height) from `src` at (src_x, src_y) to `dst`, only
// where both surfaces have pixels. Only SRCCOPY is supported; any other operation
// returns zero and draws nothing.
BOOL BitBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t src_x,
            int32_t src_y, uint32_t rop);

// Sizes and places a window. Honoured: the size (a negative one counts as 0) unless
// SWP_NOSIZE is given; the position is never changed by this program's windows, so
// SWP_NOMOVE must be given. `insert_after` is ignored. Non-zero on success.
BOOL SetWindowPos(HWND window, HWND insert_after, int32_t x, int32_t y, int32_t width,
                  int32_t height, uint32_t flags);

}  // namespace platform

// The evaluator: the one place where an image's pixels are worked out, and the only user
// of the machine's threads and of anything kept of worked-out pixels. Whoever needs
// pixels says which:
//
//   painting         the visible rectangle                 RealizeArea
//   saving           strips, in order or side by side      RealizeStrips
//   writing, tests   all of it, kept with the image        Realize
//   the fit view     the image reduced                     RealizeReduced
//
// Each asks an image for an area; an operation asks its inputs for the areas its node
// names (image.h), down to solid and stored images. Nothing is worked out before it is
// asked for, and nothing asked for changes any image.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/pixels/image.h"

namespace platform {

// Writes `area` (inside the image) of `image` into `out`, a view of the area's size whose
// (0, 0) is the area's top-left pixel: over the cores when the area is large.
void RealizeArea(const Image& image, PixelRect area, PixelView out);

// All of `image`'s pixels: its own when it is stored, else worked out once and kept with
// the image for as long as it lives. The view is valid while the image lives.
ConstPixelView Realize(const Image& image);

// The image's pixels without working anything out: stored, or worked out whole before.
std::optional<ConstPixelView> Current(const Image& image);

// Calls use(top, strip) for each strip of `rows` rows (the last may be shorter) of `area`
// of `image`, top to bottom, each worked out over the cores; `strip` is a view of the
// strip alone, valid during the call. Only the strip being used is held.
void RealizeStrips(const Image& image, PixelRect area, int32_t rows,
                   const std::function<void(int32_t top, ConstPixelView strip)>& use);

// Side by side, for a user that takes a strip's rows a few at a time: use(top, height,
// rows) for each strip, on the evaluator's threads, where rows(y, count) works out rows
// [y, y + count) of the strip (0 its first) and returns a view of them alone, valid until
// its next call. Only those rows are held.
using StripRows = std::function<ConstPixelView(int32_t y, int32_t count)>;
void RealizeStripsByRows(const Image& image, PixelRect area, int32_t rows,
                         const std::function<void(int32_t top, int32_t height,
                                                  const StripRows& rows)>& use);

// `image` shown reduced by `scale` (0 < scale <= 1) into `out`, which is at least
// ceil(scale * width) x ceil(scale * height): drawn at twice the size from the smallest
// copy of the picture at half, a quarter, ... of its size that keeps a pixel for each of
// those, bilinearly, then halved. A transformed draw is drawn from its source's copies
// without being worked out, and what was pasted over it (the edge repair's squares) is
// taken at the points the reduced view samples. The same image gives the same pixels
// whether or not it was worked out before.
void RealizeReduced(const Image& image, double scale, PixelView out);

// `image` itself, or its pixels stored when it is made more than `max_depth` operations
// deep: an image made again and again over itself (a surface turned by right angles
// without a clear) would otherwise keep every image before it.
Image Settled(const Image& image, int max_depth);

// Pixels generated so far by operations (not counting fills and copies of stored
// pixels): what tests count to see that nothing is worked out before it is asked for.
uint64_t PixelsGenerated();

}  // namespace platform

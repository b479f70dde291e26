// The work a bitmap may hold back until its pixels are needed, and how to carry it out.
//
// A clear (Fill) is held back so that a drawing call that covers the bitmap can fold it
// into its own pass. A copy or a transformed draw is held back only over a clear, so that
// every pixel of the result is a function of the clear colour and the source alone: any
// area can then be worked out by itself, in any order, as often as asked, with the pixels
// the whole operation would give. Each operation states which area of its source an area
// of its result reads (SourceArea) and writes that area given those pixels (GenerateArea).
#pragma once

#include <cstdint>
#include <variant>

#include "platform/pixels/affine.h"
#include "platform/pixels/geometry.h"
#include "platform/pixels/kernels.h"
#include "platform/pixels/pixel_view.h"

namespace platform {

// Every pixel becomes `colour`.
struct FillOp {
  uint32_t colour;
};
// The clear, then a copy or mirror of the source's rows onto it.
struct CopyOp {
  uint32_t clear;
  RowCopy copy;
};
// The clear, then the source drawn over it through `map`.
struct DrawOp {
  uint32_t clear;
  Affine map;
};
// Nothing pending, or one operation.
using Pending = std::variant<std::monostate, FillOp, CopyOp, DrawOp>;

// True for a copy or a draw: the operations with a source.
bool ReadsSource(const Pending& pending);
// The area of a source of width x height pixels that generating `area` reads.
PixelRect SourceArea(const Pending& pending, int32_t width, int32_t height, PixelRect area);
// Writes `area` of the result into `dst`, reading `src` where SourceArea says.
void GenerateArea(const Pending& pending, PixelView dst, ConstPixelView src, PixelRect area);
// Writes the whole result, over the cores; `src` is current everywhere.
void GenerateAll(const Pending& pending, PixelView dst, ConstPixelView src);

}  // namespace platform

#include "platform/pixels/pending.h"

namespace platform {

namespace {

// std::visit over the three operations, with a result for nothing pending.
template <typename... F>
struct Cases : F... {
  using F::operator()...;
};
// Spelled out for compilers that deduce no aggregate's arguments (clang before 17).
template <typename... F>
Cases(F...) -> Cases<F...>;

}  // namespace

bool ReadsSource(const Pending& pending) {
  return std::holds_alternative<CopyOp>(pending) || std::holds_alternative<DrawOp>(pending);
}

PixelRect SourceArea(const Pending& pending, int32_t width, int32_t height, PixelRect area) {
  return std::visit(
      Cases{[](const std::monostate&) {
              return PixelRect{0, 0, 0, 0};
            },
            [](const FillOp&) {
              return PixelRect{0, 0, 0, 0};
            },
            [&](const CopyOp& op) { return CopySourceArea(op.copy, area); },
            [&](const DrawOp& op) { return DrawSourceArea(width, height, op.map, area); }},
      pending);
}

void GenerateArea(const Pending& pending, PixelView dst, ConstPixelView src, PixelRect area) {
  std::visit(
      Cases{[](const std::monostate&) {}, [&](const FillOp& op) { FillArea(dst, area, op.colour); },
            [&](const CopyOp& op) {
              FillArea(dst, area, op.clear);
              CopyRowsArea(dst, src, op.copy, area);
            },
            [&](const DrawOp& op) {
              // The clear first, then only the rows the picture reaches: most blocks
              // an area asks for lie along the picture's edge.
              FillArea(dst, area, op.clear);
              DrawTransformed(dst, src, op.map, area, std::nullopt);
            }},
      pending);
}

void GenerateAll(const Pending& pending, PixelView dst, ConstPixelView src) {
  std::visit(Cases{[](const std::monostate&) {}, [&](const FillOp& op) { FillAll(dst, op.colour); },
                   [&](const CopyOp& op) {
                     // A copy that covers the target leaves nothing of the clear.
                     if (op.copy.width != dst.width || op.copy.height != dst.height)
                       FillAll(dst, op.clear);
                     CopyRowsAll(dst, src, op.copy);
                   },
                   [&](const DrawOp& op) {
                     DrawTransformed(dst, src, op.map, {0, 0, dst.width, dst.height}, op.clear);
                   }},
             pending);
}

}  // namespace platform

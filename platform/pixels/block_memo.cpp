#include "platform/pixels/block_memo.h"

#include <algorithm>

namespace platform {

void BlockMemo::Reset(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  state_.assign(static_cast<size_t>(Across() * Down()), kNotDone);
  written_ = false;
}

BlockMemo::Wanted BlockMemo::Want(std::span<const PixelRect> areas) {
  const int64_t across = Across();
  Wanted wanted;
  for (const PixelRect& area : areas) {
    const int32_t left = std::max(area.left, 0), top = std::max(area.top, 0);
    const int32_t right = std::min(area.right, width_), bottom = std::min(area.bottom, height_);
    if (left >= right || top >= bottom) continue;
    for (int32_t row = top / kBlock; row <= (bottom - 1) / kBlock; ++row) {
      uint8_t* states = state_.data() + row * across;
      for (int32_t col = left / kBlock; col <= (right - 1) / kBlock; ++col) {
        if (states[col] != kNotDone) continue;
        states[col] = kWanted;
        ++wanted.count;
        wanted.row_lo = std::min(wanted.row_lo, row);
        wanted.row_hi = std::max(wanted.row_hi, row);
        wanted.col_lo = std::min(wanted.col_lo, col);
        wanted.col_hi = std::max(wanted.col_hi, col);
      }
    }
  }
  return wanted;
}

void BlockMemo::MarkDone(PixelRect run) {
  uint8_t* states = state_.data() + (run.top / kBlock) * Across();
  std::fill(states + run.left / kBlock, states + (run.right + kBlock - 1) / kBlock, kDone);
}

void BlockMemo::Unwant(const Wanted& wanted) {
  for (int32_t row = wanted.row_lo; row <= wanted.row_hi; ++row) {
    uint8_t* states = state_.data() + row * Across();
    std::replace(states + wanted.col_lo, states + wanted.col_hi + 1, kWanted, kNotDone);
  }
}

void BlockMemo::SetAside(ConstPixelView pixels) {
  kept_.clear();
  for (int32_t row = 0; row < Down(); ++row) {
    ForEachRun(0, static_cast<int32_t>(Across() - 1), row, kDone, [&](const PixelRect& run) {
      for (int32_t y = run.top; y < run.bottom; ++y) {
        kept_.insert(kept_.end(), pixels.row(y) + run.left, pixels.row(y) + run.right);
      }
    });
  }
}

void BlockMemo::PutBack(PixelView pixels) const {
  const uint32_t* from = kept_.data();
  for (int32_t row = 0; row < Down(); ++row) {
    ForEachRun(0, static_cast<int32_t>(Across() - 1), row, kDone, [&](const PixelRect& run) {
      for (int32_t y = run.top; y < run.bottom; ++y) {
        std::copy_n(from, run.right - run.left, pixels.row(y) + run.left);
        from += run.right - run.left;
      }
    });
  }
}

}  // namespace platform

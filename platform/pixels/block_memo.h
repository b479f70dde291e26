// Which blocks of a bitmap its pending copy or draw has been worked out for. Callers ask
// for many small overlapping areas (the edge repair's squares along a line) and each block
// of kBlock x kBlock pixels is worked out once. The memory is kept from one operation to
// the next.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/pixels/geometry.h"
#include "platform/pixels/pixel_view.h"

namespace platform {

class BlockMemo {
 public:
  static constexpr int32_t kBlock = 8;

  // Every block not worked out, for a new operation on a width x height bitmap.
  void Reset(int32_t width, int32_t height);

  // The blocks under `areas` (clipped to the bitmap) not yet worked out, now marked as
  // wanted: how many, and the block rows and columns they lie in.
  struct Wanted {
    int64_t count = 0;
    int32_t row_lo = INT32_MAX, row_hi = -1, col_lo = INT32_MAX, col_hi = -1;
  };
  Wanted Want(std::span<const PixelRect> areas);
  // Calls visit(run) for each run of wanted blocks in one block row, with the pixels the
  // run covers. Different block rows may be visited from different threads at once.
  template <typename Visit>
  void ForEachWantedRun(const Wanted& wanted, int32_t block_row, Visit visit) const {
    ForEachRun(wanted.col_lo, wanted.col_hi, block_row, kWanted, visit);
  }
  // A run ForEachWantedRun gave is worked out.
  void MarkDone(PixelRect run);
  // Wanted blocks not worked out go back to waiting (after a failure).
  void Unwant(const Wanted& wanted);

  // Pixels were written over the pending operation, in blocks worked out before: carrying
  // out the rest must leave those blocks as they are.
  void NoteWritten() { written_ = true; }
  bool Written() const { return written_; }
  // The pixels of every block worked out, set aside and put back in the same order.
  void SetAside(ConstPixelView pixels);
  void PutBack(PixelView pixels) const;

 private:
  static constexpr uint8_t kNotDone = 0, kWanted = 1, kDone = 2;
  int64_t Across() const { return (int64_t{width_} + kBlock - 1) / kBlock; }
  int64_t Down() const { return (int64_t{height_} + kBlock - 1) / kBlock; }
  template <typename Visit>
  void ForEachRun(int32_t first_col, int32_t last_col, int32_t block_row, uint8_t state,
                  Visit visit) const;

  int32_t width_ = 0, height_ = 0;
  std::vector<uint8_t> state_;  // per block, row by row
  bool written_ = false;
  std::vector<uint32_t> kept_;
};

template <typename Visit>
void BlockMemo::ForEachRun(int32_t first_col, int32_t last_col, int32_t block_row, uint8_t state,
                           Visit visit) const {
  const uint8_t* states = state_.data() + block_row * Across();
  const int32_t top = block_row * kBlock, bottom = std::min(height_, top + kBlock);
  for (int32_t col = first_col; col <= last_col;) {
    const void* found = std::memchr(states + col, state, static_cast<size_t>(last_col - col + 1));
    if (found == nullptr) return;
    const auto run_first = static_cast<int32_t>(static_cast<const uint8_t*>(found) - states);
    col = run_first;
    while (col <= last_col && states[col] == state) ++col;
    visit(PixelRect{run_first * kBlock, top, std::min(width_, col * kBlock), bottom});
  }
}

}  // namespace platform

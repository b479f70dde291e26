// The pixel store behind every persistent image and loaded picture, with the work it holds
// back until its pixels are needed (pending.h).
//
// Pixels are 32-bit premultiplied ARGB (0xAARRGGBB), rows packed top to bottom with no
// padding: pixel (x, y) is at row y, column x of the views below. See pixel_conventions.md.
//
// Life of a pending operation:
//
//   Fill(c) ──> [fill pending] ──DeferDraw/DeferCopy(source)──> [copy or draw pending]
//                    │                                               │      │
//                    │ Read, Write                      ReadArea(s), │      │ Read, Write, or the
//                    ▼                                  PrepareAreas ▼      │ source is written,
//             [nothing pending] <──────────────────── blocks worked out ◄──┘ resized or goes away
//                                                     (the rest stays pending)
//
// A bitmap with a copy or a draw pending is linked to its source, and the source to each of
// its readers: before the source's pixels change, every reader carries its operation out,
// so that it shows the source as it was. Any number of bitmaps may read one source.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/pixels/affine.h"
#include "platform/pixels/block_memo.h"
#include "platform/pixels/geometry.h"
#include "platform/pixels/kernels.h"
#include "platform/pixels/pending.h"
#include "platform/pixels/pixel_allocator.h"
#include "platform/pixels/pixel_view.h"

namespace platform {

class Bitmap {
 public:
  // The drawing kernels keep source positions in fixed point, which holds sides below this.
  static constexpr int32_t kMaxSide = int32_t{1} << 30;

  Bitmap() = default;
  Bitmap(int32_t width, int32_t height, uint32_t fill);
  // Copies and moves take the pixels only, worked out first; the other bitmap's pending
  // work and readers stay with it (a moved-from bitmap is empty).
  Bitmap(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(const Bitmap& other);
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap();

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }

  // Reading. Each call works out what it names and returns a view of the whole bitmap,
  // valid until the bitmap is next written, resized, filled or destroyed. Working out
  // does not change what the pixels stand for, so it is no write: readers of this bitmap
  // keep their own pending work.
  //
  // All of it.
  ConstPixelView Read() const;
  // Current inside `area` only: with a copy or draw pending, the rest stays pending.
  // Safe to call from several threads at once.
  ConstPixelView ReadArea(PixelRect area) const;
  // Many areas known together: what they need is worked out at once, over the cores.
  void PrepareAreas(std::span<const PixelRect> areas) const;
  uint32_t at(int32_t x, int32_t y) const { return Read().at(x, y); }

  // Writing. First, every bitmap whose pending work reads this one carries it out.
  //
  // Everything pending here is worked out, for a caller that reads what it writes over.
  PixelView Write();
  // What is pending inside `area` is worked out; a copy or draw stays pending elsewhere
  // and will not write over the area again. The caller writes inside `area` only.
  PixelView WriteArea(PixelRect area);
  // For a caller that writes every pixel itself: a pending fill is handed over as `clear`
  // (the colour the caller's pixels are to be taken over) and dropped; a pending copy or
  // draw is worked out first.
  struct Overwrite {
    PixelView pixels;
    std::optional<uint32_t> clear;
  };
  Overwrite WriteAll();

  // Pending work.
  //
  // Every pixel becomes `pixel` when next needed. A copy or draw still pending is dropped:
  // it would be painted over.
  void Fill(uint32_t pixel);
  // Records a transformed draw of `source` onto the pending fill (see DrawOp), or a copy or
  // mirror of its rows (CopyOp). Only a bitmap whose fill is pending defers: returns false,
  // recording nothing, when the draw must be made now. A source with its own copy or draw
  // pending keeps it: only what is read of it is worked out.
  bool DeferDraw(const Bitmap& source, const Affine& to_target);
  bool DeferCopy(const Bitmap& source, const RowCopy& copy);
  // A copy or draw is pending.
  bool HasPendingDraw() const { return ReadsSource(pending_); }
  // Whether another bitmap's pending work reads this one: destroying or changing this
  // one then carries that work out first.
  bool HasReaders() const { return first_reader_ != nullptr; }
  // A transformed draw pending: its source, map and clear, for a caller that draws the
  // same from its own copy of the source (a reduced view). Areas written over the draw
  // since it was recorded are not in it.
  struct DrawnFrom {
    const Bitmap* source;
    Affine map;
    uint32_t clear;
  };
  std::optional<DrawnFrom> PendingDrawn() const;

  // Changes whenever what the pixels stand for may have changed, and is never the same
  // for two bitmaps: something made from the pixels is current while this is unchanged.
  uint64_t Stamp() const { return stamp_; }
  // The colour of a fill pending alone.
  std::optional<uint32_t> PendingFill() const;

  // Changes the size, keeping the pixels of the area both sizes share and filling the
  // rest with `fill`. Memory is kept when the bitmap shrinks, so shrinking and growing
  // back does not allocate. Raises the out-of-memory error, saying how much was needed,
  // before allocating anything when the size is beyond what the machine can hold.
  void Resize(int32_t width, int32_t height, uint32_t fill, const std::string& owner);
  // Raises the out-of-memory error, naming `owner` and the megabytes needed, when this
  // bitmap cannot take the size: beyond what one surface may use, or more than the
  // machine (and the limits set on this process) can still give.
  void CheckFits(int32_t width, int32_t height, const std::string& owner) const;
  // Bytes a bitmap of this size would take; the limit Resize enforces.
  static uint64_t BytesFor(int64_t width, int64_t height);
  static uint64_t ByteLimit();

 private:
  PixelView View() const;
  // Carries out everything pending.
  void Evaluate() const;
  void EvaluateBlockRow(const BlockMemo::Wanted& wanted, int32_t block_row) const;
  bool Defer(const Bitmap& source, const Pending& operation);
  void LinkTo(const Bitmap& source) const;
  void Unlink() const;
  void ReleaseReaders() const;
  void Grow(size_t count);
  void TakePixels(ConstPixelView pixels);

  void Touch() { stamp_ = NextStamp(); }
  static uint64_t NextStamp();

  int32_t width_ = 0;
  int32_t height_ = 0;
  uint64_t stamp_ = NextStamp();
  // Mutable, as all the pending state: working out what is pending changes how the
  // pixels are held, not what they are.
  mutable std::vector<uint32_t, PixelAllocator<uint32_t>> pixels_;
  mutable Pending pending_;
  mutable BlockMemo memo_;
  // Held while areas are worked out: the threads of a reader's PrepareAreas may each ask
  // this bitmap, their source, for areas.
  mutable std::mutex mutex_;
  // The source of a pending copy or draw, and the siblings among the source's readers: the
  // readers form a list threaded through themselves, so linking never allocates and
  // has no limit.
  mutable const Bitmap* source_ = nullptr;
  mutable const Bitmap* previous_reader_ = nullptr;
  mutable const Bitmap* next_reader_ = nullptr;
  mutable const Bitmap* first_reader_ = nullptr;
};

}  // namespace platform

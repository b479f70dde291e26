// The pixel store behind every persistent image and loaded picture.
// Pixels are 32-bit premultiplied ARGB (0xAARRGGBB), rows packed top to bottom with no
// padding: pixel (x, y) is pixels[y * width + x]. See pixel_conventions.md.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/pixels/affine.h"
#include "platform/pixels/geometry.h"
#include "platform/pixels/pixel_allocator.h"

namespace platform {

// Colours as the window description writes them: 0x00BBGGRR, 0 is black.
using OleColor = uint32_t;

uint32_t PixelFromOleColor(OleColor color);
OleColor OleColorFromPixel(uint32_t pixel);

// Rows that stay rows: target (x + dx * k, y + dy * m) takes source (src_x + k, src_y + m)
// for k < width and m < height, with dx and dy each +1 or -1. A copy, or a mirror along
// either axis; the caller has clipped it to both bitmaps.
struct RowCopy {
  int32_t x, y, dx, dy;
  int32_t src_x, src_y, width, height;
};

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int32_t width, int32_t height, uint32_t fill);
  // Copies and moves carry out whatever is pending and take the pixels only.
  Bitmap(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(const Bitmap& other);
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap();

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  // Pixel access. Any access first carries out a fill or a draw still pending (see Fill
  // and DeferDraw); writing access also lets a pending draw that reads this bitmap finish.
  uint32_t* row(int32_t y) { return data() + static_cast<size_t>(y) * width_; }
  const uint32_t* row(int32_t y) const { return data() + static_cast<size_t>(y) * width_; }
  uint32_t* data() {
    BeginWrite();
    Settle();
    return pixels_.data();
  }
  const uint32_t* data() const {
    Settle();
    return pixels_.data();
  }
  uint32_t at(int32_t x, int32_t y) const { return row(y)[x]; }

  // Changes the size, keeping the pixels of the area both sizes share and filling the
  // rest with `fill`. Memory is kept when the bitmap shrinks, so shrinking and growing
  // back does not allocate. Raises the out-of-memory error, saying how much was needed,
  // before allocating anything when the size is beyond what the machine can hold.
  void Resize(int32_t width, int32_t height, uint32_t fill, const std::string& owner);
  // Raises the out-of-memory error, naming `owner` and the megabytes needed, when this
  // bitmap cannot take the size: beyond what one surface may use, or more than the
  // machine (and the limits set on this process) can still give.
  void CheckFits(int32_t width, int32_t height, const std::string& owner) const;
  // Every pixel becomes `pixel`. The fill is carried out when the pixels are next
  // accessed, so that a clear followed by a drawing call that covers the bitmap (or by
  // another clear) costs one pass over the memory instead of two.
  void Fill(uint32_t pixel);

  // Records a transformed draw of `source` (see DrawTransformedPixels) to be carried out
  // when this bitmap's pixels are next needed. Only a bitmap whose clear is still pending
  // defers a draw: then each pixel's value is known from the clear colour and the draw
  // alone, so an area can be worked out on its own (SettleArea) and again later with the
  // same result. Returns false, recording nothing, when the draw must be made now.
  bool DeferDraw(const Bitmap& source, const Affine& to_target);
  // The same for a copy or mirror of `source` (see CopyRows).
  bool DeferCopy(const Bitmap& source, const RowCopy& copy);
  // A draw or a copy is pending.
  bool HasPendingDraw() const { return draw_source_ != nullptr; }
  // Makes the pixels of the area current for reading through RawRowConst. With a draw
  // pending, only the area is worked out; the draw stays pending for the rest. The source
  // of a pending draw may itself have one pending: only what the area reads of it is
  // worked out. Safe to call from several threads at once.
  void SettleArea(int32_t x, int32_t y, int32_t width, int32_t height) const;
  // The same for many areas known together: what they need is worked out over the
  // machine's cores.
  void SettleAreas(std::span<const PixelRect> areas) const;
  // Before a drawing call writes through RawRow: a pending draw that reads this bitmap,
  // or one onto it, is carried out. A pending fill stays, for the call to fold in.
  void BeginWrite();
  // Before a drawing call writes the pixels of `area` only, through RawRow: what is
  // pending there is carried out, the rest of a pending draw stays pending and will not
  // draw over the area again. A pending draw that reads this bitmap is carried out.
  void BeginAreaWrite(PixelRect area);

  // For drawing calls that write every pixel of the bitmap themselves: the fill still
  // pending, if any, and rows that do not carry it out. After writing every pixel the
  // caller calls DropPendingFill.
  bool HasPendingFill() const { return pending_; }
  uint32_t PendingFill() const { return pending_colour_; }
  uint32_t* RawRow(int32_t y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  // Rows of a bitmap known to have nothing pending (in the columns read), safe to read
  // from several threads.
  const uint32_t* RawRowConst(int32_t y) const {
    return pixels_.data() + static_cast<size_t>(y) * width_;
  }
  void DropPendingFill() { pending_ = false; }

  // Bytes a bitmap of this size would take; the limit Resize enforces.
  static uint64_t BytesFor(int64_t width, int64_t height);
  static uint64_t ByteLimit();

 private:
  void Settle() const {
    if (draw_source_ != nullptr) {
      CarryOutDraw();
    } else if (pending_) {
      Materialize();
    }
  }
  void Materialize() const;
  void CarryOutDraw() const;
  // Lets the bitmaps whose pending draws read this one carry them out.
  void ReleaseReaders() const;
  void ForgetDraw();
  void Grow(size_t count);
  void TakePixels(const Bitmap& other);
  void StealPixels(Bitmap& other);

  int32_t width_ = 0;
  int32_t height_ = 0;
  // Mutable: carrying out a pending fill does not change what the pixels are.
  mutable std::vector<uint32_t, PixelAllocator<uint32_t>> pixels_;
  mutable bool pending_ = false;
  uint32_t pending_colour_ = 0;
  // The deferred draw: its source and map. The source points back through readers_, so
  // that it can let the draw finish before its own pixels change or go away.
  mutable const Bitmap* draw_source_ = nullptr;
  bool draw_is_copy_ = false;
  Affine draw_map_;
  RowCopy draw_copy_{};
  // Areas were written over the pending draw (BeginAreaWrite): carrying it out must leave
  // the blocks already worked out as they are. kept_ holds them meanwhile; its memory is
  // reused from one draw to the next.
  mutable bool area_written_ = false;
  mutable std::vector<uint32_t> kept_;
  void KeepSettledBlocks(bool out) const;
  // Bitmaps whose pending draws read this one, in no order; null where free. A turn reads
  // its picture twice (the turned draw and the 180-degree copy); a fixed array keeps
  // linking free of allocation. When it is full, an earlier reader finishes first.
  static constexpr size_t kMaxReaders = 4;
  mutable std::array<Bitmap*, kMaxReaders> readers_{};
  void AddReader(Bitmap* reader) const;
  void DropReader(const Bitmap* reader) const;
  // Which blocks of kSettleBlock x kSettleBlock pixels the pending draw has already been
  // worked out for: callers ask for many small overlapping areas along a line, and each
  // block is worked out once. Kept between draws, so its memory is reused.
  static constexpr int32_t kSettleBlock = 8;
  static int64_t BlocksAcross(int32_t pixels) {
    return (int64_t{pixels} + kSettleBlock - 1) / kSettleBlock;
  }
  // Per block: kUnsettled, kWanted (by SettleAreas, about to be worked out) or kSettled.
  static constexpr uint8_t kUnsettled = 0, kWanted = 1, kSettled = 2;
  mutable std::vector<uint8_t> settled_blocks_;
  // Held while areas are worked out: the threads of another bitmap's SettleAreas may
  // each ask for areas of this one, its source.
  mutable std::mutex settle_mutex_;
  // The blocks MarkWanted marked: how many, and the block rows and columns they lie in.
  struct WantedBlocks {
    int64_t count = 0;
    int32_t row_lo = INT32_MAX, row_hi = -1, col_lo = INT32_MAX, col_hi = -1;
  };
  WantedBlocks MarkWanted(std::span<const PixelRect> areas) const;
  void SettleBlocks(int32_t first_col, int32_t last_col, int32_t block_row, uint8_t state) const;
  template <typename Visit>
  void ForEachRun(int32_t first_col, int32_t last_col, int32_t block_row, uint8_t state,
                  Visit visit) const;
  bool LinkSource(const Bitmap& source);
};

}  // namespace platform

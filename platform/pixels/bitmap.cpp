#include "platform/pixels/bitmap.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/base/error.h"
#include "platform/pixels/memory.h"
#include "platform/pixels/parallel.h"
#include "platform/pixels/pixel_ops.h"

namespace platform {

uint32_t PixelFromOleColor(OleColor color) {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

OleColor OleColorFromPixel(uint32_t pixel) {
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return r | (g << 8) | (b << 16);
}

Bitmap::Bitmap(int32_t width, int32_t height, uint32_t fill) {
  Resize(width, height, fill, {});
}

Bitmap::Bitmap(const Bitmap& other) {
  TakePixels(other);
}

Bitmap::Bitmap(Bitmap&& other) noexcept {
  StealPixels(other);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this != &other) {
    BeginWrite();
    ForgetDraw();
    TakePixels(other);
  }
  return *this;
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  if (this != &other) {
    BeginWrite();
    ForgetDraw();
    StealPixels(other);
  }
  return *this;
}

Bitmap::~Bitmap() {
  ReleaseReaders();
  ForgetDraw();
}

void Bitmap::StealPixels(Bitmap& other) {
  other.Settle();
  other.ReleaseReaders();
  width_ = other.width_;
  height_ = other.height_;
  pending_ = false;
  pixels_ = std::move(other.pixels_);
  other.width_ = other.height_ = 0;
  other.pixels_.clear();
}

void Bitmap::TakePixels(const Bitmap& other) {
  other.Settle();
  width_ = other.width_;
  height_ = other.height_;
  pending_ = false;
  pixels_.assign(
      other.pixels_.begin(),
      other.pixels_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(width_) * height_));
}

uint64_t Bitmap::BytesFor(int64_t width, int64_t height) {
  return static_cast<uint64_t>(std::max<int64_t>(width, 0)) *
         static_cast<uint64_t>(std::max<int64_t>(height, 0)) * sizeof(uint32_t);
}

uint64_t Bitmap::ByteLimit() {
  // Half the machine's memory for one surface: four surfaces of a large turn must fit
  // together, and a request beyond this is a mistake or a hostile file, not a photo.
  static const uint64_t limit = [] {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page <= 0) return uint64_t{1} << 31;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page) / 2;
  }();
  return limit;
}

void Bitmap::CheckFits(int32_t width, int32_t height, const std::string& owner) const {
  const uint64_t bytes = BytesFor(width, height);
  const auto size =
      std::to_string(std::max(width, 0)) + " x " + std::to_string(std::max(height, 0));
  const auto megabytes = [](uint64_t value) {
    return std::to_string((value + (1 << 20) - 1) >> 20);
  };
  if (bytes > ByteLimit()) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: a picture surface of " + size + " pixels needs " +
                    megabytes(bytes) + " MB, more than the " + megabytes(ByteLimit()) +
                    " MB one surface may use",
                owner);
  }
  // Growing allocates the new store while the old one still exists.
  const uint64_t held = static_cast<uint64_t>(pixels_.capacity()) * sizeof(uint32_t);
  if (bytes <= held) return;
  const uint64_t headroom = MemoryHeadroom();
  if (bytes > headroom) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: a picture surface of " + size + " pixels needs " +
                    megabytes(bytes) + " MB, and this machine can give only " +
                    std::to_string(headroom >> 20) + " MB more",
                owner);
  }
}

void Bitmap::Grow(size_t count) {
  // Exactly what is asked: the vector's own growth would double a large store.
  if (count > pixels_.capacity()) pixels_.reserve(count);
  if (count > pixels_.size()) pixels_.resize(count);
}

void Bitmap::Resize(int32_t width, int32_t height, uint32_t fill, const std::string& owner) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  CheckFits(width, height, owner);
  BeginWrite();
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (pending_ && pending_colour_ == fill) {  // still one colour: nothing to move
    Grow(count);
    width_ = width;
    height_ = height;
    return;
  }
  Settle();
  const int32_t keepW = std::min(width, width_), keepH = std::min(height, height_);
  if (width > width_) {
    Grow(count);
    // Rows move to higher addresses: walk bottom-up so no row is overwritten before it moves.
    for (int32_t y = keepH - 1; y >= 0; --y) {
      uint32_t* to = pixels_.data() + static_cast<size_t>(y) * width;
      std::memmove(to, pixels_.data() + static_cast<size_t>(y) * width_, keepW * sizeof(uint32_t));
      std::fill(to + keepW, to + width, fill);
    }
  } else {
    // Rows move to lower addresses (or stay): walk top-down.
    for (int32_t y = 0; y < keepH; ++y) {
      std::memmove(pixels_.data() + static_cast<size_t>(y) * width,
                   pixels_.data() + static_cast<size_t>(y) * width_, keepW * sizeof(uint32_t));
      uint32_t* to = pixels_.data() + static_cast<size_t>(y) * width;
      std::fill(to + keepW, to + width, fill);
    }
    Grow(count);
  }
  std::fill(pixels_.data() + static_cast<size_t>(keepH) * width, pixels_.data() + count, fill);
  width_ = width;
  height_ = height;
}

void Bitmap::Fill(uint32_t pixel) {
  ReleaseReaders();
  ForgetDraw();  // everything becomes one colour: the draw would be painted over
  pending_ = true;
  pending_colour_ = pixel;
}

void Bitmap::Materialize() const {
  pending_ = false;
  uint32_t* pixels = pixels_.data();
  const int32_t width = width_;
  const uint32_t colour = pending_colour_;
  ForRowBands(height_, int64_t{width_} * height_, [=](int32_t first, int32_t last) {
    std::fill(pixels + static_cast<size_t>(first) * width,
              pixels + static_cast<size_t>(last) * width, colour);
  });
}

bool Bitmap::DeferDraw(const Bitmap& source, const Affine& to_target) {
  if (!LinkSource(source)) return false;
  draw_is_copy_ = false;
  draw_map_ = to_target;
  return true;
}

bool Bitmap::DeferCopy(const Bitmap& source, const RowCopy& copy) {
  if (!LinkSource(source)) return false;
  draw_is_copy_ = true;
  draw_copy_ = copy;
  return true;
}

// What deferring a draw or a copy shares: the conditions, and the link to the source.
bool Bitmap::LinkSource(const Bitmap& source) {
  if (&source == this) return false;
  BeginWrite();  // a draw already waiting, or one reading this bitmap, goes first
  if (!pending_) return false;
  // A source with its own draw pending keeps it: the areas read are worked out as read.
  if (!source.HasPendingDraw()) source.Settle();
  source.AddReader(this);
  draw_source_ = &source;
  area_written_ = false;
  settled_blocks_.assign(static_cast<size_t>(BlocksAcross(width_) * BlocksAcross(height_)), 0);
  return true;
}

void Bitmap::AddReader(Bitmap* reader) const {
  for (Bitmap*& slot : readers_) {
    if (slot == nullptr) {
      slot = reader;
      return;
    }
  }
  readers_[0]->Settle();  // drops itself, freeing its slot
  readers_[0] = reader;
}

void Bitmap::DropReader(const Bitmap* reader) const {
  for (Bitmap*& slot : readers_) {
    if (slot == reader) slot = nullptr;
  }
}

void Bitmap::BeginWrite() {
  ReleaseReaders();
  if (draw_source_ != nullptr) CarryOutDraw();
}

void Bitmap::BeginAreaWrite(PixelRect area) {
  ReleaseReaders();
  if (draw_source_ == nullptr) {
    Settle();
    return;
  }
  SettleAreas({&area, 1});
  area_written_ = true;
}

void Bitmap::ReleaseReaders() const {
  for (Bitmap* reader : readers_) {
    if (reader != nullptr) reader->Settle();  // drops itself from readers_
  }
}

void Bitmap::ForgetDraw() {
  if (draw_source_ != nullptr) draw_source_->DropReader(this);
  draw_source_ = nullptr;
  area_written_ = false;
}

void Bitmap::CarryOutDraw() const {
  const Bitmap& source = *draw_source_;
  // The pixels this bitmap shows do not change: they become what they already stood for.
  // So a bitmap whose pending draw reads this one need not finish first, and must not: it
  // would read pixels half made.
  const auto readers = readers_;
  readers_.fill(nullptr);
  auto& self = const_cast<Bitmap&>(*this);
  // Areas written over the draw lie in blocks already worked out. The whole draw, in one
  // pass, costs far less than the other blocks one by one: those blocks are kept aside
  // and put back after it.
  const bool written = area_written_;
  if (written) KeepSettledBlocks(true);
  source.DropReader(this);
  draw_source_ = nullptr;
  area_written_ = false;
  if (draw_is_copy_) {
    CopyRows(self, source, draw_copy_);
  } else {
    DrawTransformedPixels(self, source, draw_map_);
  }
  readers_ = readers;
  Settle();  // a draw that touched nothing leaves the clear to carry out
  if (written) KeepSettledBlocks(false);
}

// Copies the pixels of every block worked out into kept_ (`out`), or back from it, in the
// same order both ways.
void Bitmap::KeepSettledBlocks(bool out) const {
  const int64_t across = BlocksAcross(width_);
  if (out) kept_.clear();
  size_t at = 0;
  for (int32_t row = 0; row < BlocksAcross(height_); ++row) {
    ForEachRun(0, static_cast<int32_t>(across - 1), row, kSettled, [&](const PixelRect& run) {
      const auto width = static_cast<size_t>(run.right - run.left);
      for (int32_t y = run.top; y < run.bottom; ++y) {
        uint32_t* line = pixels_.data() + static_cast<size_t>(y) * width_ + run.left;
        if (out) {
          kept_.insert(kept_.end(), line, line + width);
        } else {
          std::copy_n(kept_.data() + at, width, line);
          at += width;
        }
      }
    });
  }
}

void Bitmap::SettleArea(int32_t x, int32_t y, int32_t width, int32_t height) const {
  auto end = [](int32_t from, int32_t size) {
    return static_cast<int32_t>(std::min<int64_t>(int64_t{from} + size, INT32_MAX));
  };
  const PixelRect area{x, y, end(x, width), end(y, height)};
  SettleAreas({&area, 1});
}

void Bitmap::SettleAreas(std::span<const PixelRect> areas) const {
  std::lock_guard lock(settle_mutex_);
  if (draw_source_ == nullptr) {
    Settle();
    return;
  }
  const WantedBlocks wanted = MarkWanted(areas);
  if (wanted.count == 0) return;
  // What the blocks read of a source with its own draw pending is worked out first, in one
  // batch of its own: the threads below then only read it, instead of queueing for it
  // block by block.
  if (areas.size() > 1 && !draw_is_copy_ && draw_source_->HasPendingDraw()) {
    std::vector<PixelRect> reads;
    for (int32_t row = wanted.row_lo; row <= wanted.row_hi; ++row) {
      ForEachRun(wanted.col_lo, wanted.col_hi, row, kWanted, [&](const PixelRect& run) {
        reads.push_back(DrawSourceArea(*draw_source_, draw_map_, run));
      });
    }
    draw_source_->SettleAreas(reads);
  }
  // A block worked out on its own costs far more than a pixel of a whole draw: each of
  // its rows is planned for a few pixels, most of them the picture's edge, read cold.
  constexpr int64_t kBlockCost = 32;
  ForRowBands(wanted.row_hi - wanted.row_lo + 1,
              wanted.count * kSettleBlock * kSettleBlock * kBlockCost,
              [&](int32_t first, int32_t last) {
                for (int32_t row = first; row < last; ++row) {
                  SettleBlocks(wanted.col_lo, wanted.col_hi, wanted.row_lo + row, kWanted);
                }
              });
}

// Marks the blocks under the areas not yet worked out, so that threads can share them out
// by block row without asking each other.
Bitmap::WantedBlocks Bitmap::MarkWanted(std::span<const PixelRect> areas) const {
  const int64_t across = BlocksAcross(width_);
  WantedBlocks wanted;
  for (const PixelRect& area : areas) {
    const int32_t left = std::max(area.left, 0), top = std::max(area.top, 0);
    const int32_t right = std::min(area.right, width_), bottom = std::min(area.bottom, height_);
    if (left >= right || top >= bottom) continue;
    for (int32_t row = top / kSettleBlock; row <= (bottom - 1) / kSettleBlock; ++row) {
      uint8_t* settled = settled_blocks_.data() + row * across;
      for (int32_t col = left / kSettleBlock; col <= (right - 1) / kSettleBlock; ++col) {
        if (settled[col] != kUnsettled) continue;
        settled[col] = kWanted;
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

// Calls visit(area) for each run of blocks in `state` among [first_col, last_col] of one
// block row, with the pixels the run covers.
template <typename Visit>
void Bitmap::ForEachRun(int32_t first_col, int32_t last_col, int32_t block_row, uint8_t state,
                        Visit visit) const {
  const uint8_t* settled = settled_blocks_.data() + block_row * BlocksAcross(width_);
  const int32_t top = block_row * kSettleBlock, bottom = std::min(height_, top + kSettleBlock);
  for (int32_t col = first_col; col <= last_col;) {
    const void* found = std::memchr(settled + col, state, static_cast<size_t>(last_col - col + 1));
    if (found == nullptr) return;
    const auto run_first = static_cast<int32_t>(static_cast<const uint8_t*>(found) - settled);
    col = run_first;
    while (col <= last_col && settled[col] == state) ++col;
    visit(PixelRect{run_first * kSettleBlock, top, std::min(width_, col * kSettleBlock), bottom});
  }
}

// Works out the blocks [first_col, last_col] of one block row that are in `state`, each
// run of them in one call.
void Bitmap::SettleBlocks(int32_t first_col, int32_t last_col, int32_t block_row,
                          uint8_t state) const {
  uint8_t* settled = settled_blocks_.data() + block_row * BlocksAcross(width_);
  ForEachRun(first_col, last_col, block_row, state, [&](const PixelRect& area) {
    std::fill(settled + area.left / kSettleBlock, settled + BlocksAcross(area.right), kSettled);
    // The clear first: the draw blends onto it, as the whole draw would.
    for (int32_t row = area.top; row < area.bottom; ++row) {
      uint32_t* line = pixels_.data() + static_cast<size_t>(row) * width_;
      std::fill(line + area.left, line + area.right, pending_colour_);
    }
    if (draw_is_copy_) {
      CopyRowsArea(const_cast<Bitmap&>(*this), *draw_source_, draw_copy_, area);
    } else {
      DrawTransformedArea(const_cast<Bitmap&>(*this), *draw_source_, draw_map_, area);
    }
  });
}

}  // namespace platform

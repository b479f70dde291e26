#include "platform/pixels/bitmap.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/base/error.h"
#include "platform/pixels/memory.h"
#include "platform/pixels/parallel.h"

namespace platform {

uint64_t Bitmap::NextStamp() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

std::optional<Bitmap::DrawnFrom> Bitmap::PendingDrawn() const {
  const auto* draw = std::get_if<DrawOp>(&pending_);
  if (draw == nullptr || source_ == nullptr) return std::nullopt;
  return DrawnFrom{source_, draw->map, draw->clear};
}

Bitmap::Bitmap(int32_t width, int32_t height, uint32_t fill) {
  Resize(width, height, fill, {});
}

Bitmap::Bitmap(const Bitmap& other) {
  TakePixels(other.Read());
}

Bitmap::Bitmap(Bitmap&& other) noexcept {
  *this = std::move(other);
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  Touch();
  if (this != &other) {
    const ConstPixelView from = other.Read();
    ReleaseReaders();
    Unlink();
    pending_ = std::monostate{};
    TakePixels(from);
  }
  return *this;
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  Touch();
  other.Touch();
  if (this != &other) {
    ReleaseReaders();
    Unlink();
    pending_ = std::monostate{};
    other.Evaluate();
    other.ReleaseReaders();
    width_ = other.width_;
    height_ = other.height_;
    pixels_ = std::move(other.pixels_);
    other.width_ = other.height_ = 0;
    other.pixels_.clear();
  }
  return *this;
}

Bitmap::~Bitmap() {
  ReleaseReaders();
  Unlink();
}

PixelView Bitmap::View() const {
  return {pixels_.data(), width_, width_, height_};
}

void Bitmap::TakePixels(ConstPixelView from) {
  Grow(static_cast<size_t>(from.width) * static_cast<size_t>(from.height));
  width_ = from.width;
  height_ = from.height;
  for (int32_t y = 0; y < height_; ++y) std::copy_n(from.row(y), width_, View().row(y));
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
  if (width >= kMaxSide || height >= kMaxSide) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: a picture surface of " + size +
                    " pixels is wider or taller than a surface may be",
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
  Touch();
  width = std::max(width, 0);
  height = std::max(height, 0);
  CheckFits(width, height, owner);
  // The same size keeps every pixel: what is pending may go on waiting.
  if (width == width_ && height == height_) return;
  ReleaseReaders();
  if (HasPendingDraw()) Evaluate();
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  // Still one colour, or nothing kept from before: nothing to move, the fill can wait.
  if (PendingFill() == fill || width_ == 0 || height_ == 0 || width == 0 || height == 0) {
    Grow(count);
    width_ = width;
    height_ = height;
    Unlink();
    pending_ = FillOp{fill};
    return;
  }
  Evaluate();
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

std::optional<uint32_t> Bitmap::PendingFill() const {
  if (const auto* fill = std::get_if<FillOp>(&pending_)) return fill->colour;
  return std::nullopt;
}

// Reading.

ConstPixelView Bitmap::Read() const {
  std::lock_guard lock(mutex_);
  Evaluate();
  return View();
}

ConstPixelView Bitmap::ReadArea(PixelRect area) const {
  PrepareAreas({&area, 1});
  return View();
}

void Bitmap::PrepareAreas(std::span<const PixelRect> areas) const {
  std::lock_guard lock(mutex_);
  if (!HasPendingDraw()) {  // nothing, or a fill: at once, in one pass
    Evaluate();
    return;
  }
  const BlockMemo::Wanted wanted = memo_.Want(areas);
  if (wanted.count == 0) return;
  try {
    // What the blocks read of a source with its own draw pending is worked out first, in
    // one batch of its own: the threads below then only read it, instead of queueing for
    // it block by block.
    if (areas.size() > 1 && std::holds_alternative<DrawOp>(pending_) && source_->HasPendingDraw()) {
      std::vector<PixelRect> reads;
      for (int32_t row = wanted.row_lo; row <= wanted.row_hi; ++row) {
        memo_.ForEachWantedRun(wanted, row, [&](const PixelRect& run) {
          reads.push_back(SourceArea(pending_, source_->width(), source_->height(), run));
        });
      }
      source_->PrepareAreas(reads);
    }
    // A block worked out on its own costs far more than a pixel of a whole draw: each of
    // its rows is planned for a few pixels, most of them the picture's edge, read cold.
    constexpr int64_t kBlockCost = 32;
    constexpr int64_t kBlockPixels = int64_t{BlockMemo::kBlock} * BlockMemo::kBlock;
    ForRowBands(wanted.row_hi - wanted.row_lo + 1, wanted.count * kBlockPixels * kBlockCost,
                [&](int32_t first, int32_t last) {
                  for (int32_t row = first; row < last; ++row)
                    EvaluateBlockRow(wanted, wanted.row_lo + row);
                });
  } catch (...) {
    memo_.Unwant(wanted);  // what was not worked out waits for the next asker
    throw;
  }
}

// Works out the wanted blocks of one block row, each run of them in one go.
void Bitmap::EvaluateBlockRow(const BlockMemo::Wanted& wanted, int32_t block_row) const {
  memo_.ForEachWantedRun(wanted, block_row, [&](const PixelRect& run) {
    const PixelRect read = SourceArea(pending_, source_->width(), source_->height(), run);
    GenerateArea(pending_, View(), source_->ReadArea(read), run);
    memo_.MarkDone(run);
  });
}

void Bitmap::Evaluate() const {
  if (std::holds_alternative<std::monostate>(pending_)) return;
  const PixelView view = View();
  const ConstPixelView from = source_ != nullptr ? source_->Read() : ConstPixelView{};
  if (HasPendingDraw() && memo_.Written()) {
    // The whole operation in one pass costs far less than the blocks not yet worked out
    // one by one: the blocks worked out, written over since, are set aside and put back,
    // also when the pass fails half-way.
    memo_.SetAside(view);
    struct PutBack {
      const BlockMemo& memo;
      PixelView view;
      ~PutBack() { memo.PutBack(view); }
    } put_back{memo_, view};
    GenerateAll(pending_, view, from);
  } else {
    GenerateAll(pending_, view, from);
  }
  Unlink();
  pending_ = std::monostate{};
}

// Writing.

PixelView Bitmap::Write() {
  Touch();
  ReleaseReaders();
  Evaluate();
  return View();
}

PixelView Bitmap::WriteArea(PixelRect area) {
  Touch();
  ReleaseReaders();
  if (!HasPendingDraw()) {
    Evaluate();
    return View();
  }
  PrepareAreas({&area, 1});
  memo_.NoteWritten();
  return View();
}

Bitmap::Overwrite Bitmap::WriteAll() {
  Touch();
  ReleaseReaders();
  if (HasPendingDraw()) Evaluate();
  const std::optional<uint32_t> clear = PendingFill();
  pending_ = std::monostate{};
  return {View(), clear};
}

// Pending work.

void Bitmap::Fill(uint32_t pixel) {
  Touch();
  ReleaseReaders();
  Unlink();
  pending_ = FillOp{pixel};
}

bool Bitmap::DeferDraw(const Bitmap& source, const Affine& to_target) {
  return Defer(source, DrawOp{0, to_target});
}

bool Bitmap::DeferCopy(const Bitmap& source, const RowCopy& copy) {
  return Defer(source, CopyOp{0, copy});
}

// `operation` is drawn over the pending fill, whose colour it takes as its clear.
bool Bitmap::Defer(const Bitmap& source, const Pending& operation) {
  if (&source == this) return false;
  Touch();
  ReleaseReaders();                  // they read what this bitmap holds now
  if (HasPendingDraw()) Evaluate();  // a draw already waiting goes first
  const std::optional<uint32_t> clear = PendingFill();
  if (!clear) return false;
  if (!source.HasPendingDraw()) (void)source.Read();  // its fill, in one pass
  LinkTo(source);
  pending_ = operation;
  std::visit(
      [&](auto& op) {
        if constexpr (requires { op.clear; }) op.clear = *clear;
      },
      pending_);
  memo_.Reset(width_, height_);
  return true;
}

void Bitmap::LinkTo(const Bitmap& source) const {
  source_ = &source;
  previous_reader_ = nullptr;
  next_reader_ = source.first_reader_;
  if (next_reader_ != nullptr) next_reader_->previous_reader_ = this;
  source.first_reader_ = this;
}

void Bitmap::Unlink() const {
  if (source_ == nullptr) return;
  if (previous_reader_ != nullptr) {
    previous_reader_->next_reader_ = next_reader_;
  } else {
    source_->first_reader_ = next_reader_;
  }
  if (next_reader_ != nullptr) next_reader_->previous_reader_ = previous_reader_;
  source_ = previous_reader_ = next_reader_ = nullptr;
}

void Bitmap::ReleaseReaders() const {
  // Each reader's operation, carried out, unlinks it from the list.
  while (first_reader_ != nullptr) first_reader_->Evaluate();
}

}  // namespace platform

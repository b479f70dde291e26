#include "platform/pixels/bitmap.h"

#include <unistd.h>

#include <algorithm>

#include "platform/base/error.h"
#include "platform/pixels/evaluator.h"
#include "platform/pixels/image_nodes.h"
#include "platform/pixels/memory.h"

namespace platform {

Bitmap::Bitmap() : image_(SolidImage(0, 0, 0)) {}

Bitmap::Bitmap(int32_t width, int32_t height, uint32_t fill) : Bitmap() {
  Resize(width, height, fill, {});
}

Bitmap::Bitmap(Image image) : image_(std::move(image)) {}

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
  // No larger than what is held already: nothing more is needed.
  if (bytes <= BytesFor(this->width(), this->height())) return;
  const uint64_t headroom = MemoryHeadroom();
  if (bytes > headroom) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: a picture surface of " + size + " pixels needs " +
                    megabytes(bytes) + " MB, and this machine can give only " +
                    std::to_string(headroom >> 20) + " MB more",
                owner);
  }
}

void Bitmap::Resize(int32_t width, int32_t height, uint32_t fill, const std::string& owner) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  CheckFits(width, height, owner);
  if (width == this->width() && height == this->height()) return;
  Image filled = SolidImage(width, height, fill);
  // Still one colour, or nothing kept from before: the new size, one colour.
  if (PendingFill() == fill || empty() || width == 0 || height == 0) {
    image_ = std::move(filled);
    return;
  }
  const PixelRect kept{0, 0, std::min(width, this->width()), std::min(height, this->height())};
  image_ = Pasted(std::move(filled), std::move(image_), kept, {0, 0});
}

ConstPixelView Bitmap::Read() const {
  return Realize(image_);
}

PixelView Bitmap::Write() {
  // Stored pixels nobody else holds are written where they are.
  if (const auto* stored = dynamic_cast<const StoredNode*>(image_.get());
      stored != nullptr && stored->OnlyHolder() && image_.use_count() == 1) {
    return const_cast<PixelStore*>(stored->Stored())->View();
  }
  auto store = std::make_shared<PixelStore>(width(), height());
  RealizeArea(image_, image_->Bounds(), store->View());
  const PixelView pixels = store->View();
  image_ = StoredImage(std::move(store));
  return pixels;
}

Bitmap::Overwrite Bitmap::WriteAll() {
  const std::optional<uint32_t> clear = PendingFill();
  if (!clear) return {Write(), std::nullopt};
  auto store = std::make_shared<PixelStore>(width(), height());
  const PixelView pixels = store->View();
  image_ = StoredImage(std::move(store));
  return {pixels, clear};
}

void Bitmap::Fill(uint32_t pixel) {
  image_ = SolidImage(width(), height(), pixel);
}

}  // namespace platform

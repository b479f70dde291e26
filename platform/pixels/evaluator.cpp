#include "platform/pixels/evaluator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "platform/pixels/image_nodes.h"
#include "platform/pixels/parallel.h"

namespace platform {

namespace {

std::atomic<uint64_t> generated{0};

// A view in `node`'s coordinates over memory that holds only `area` (rows `stride` apart):
// the kernels address pixels by the image's own coordinates and read only what their
// area needs.
PixelView Placed(uint32_t* memory, int64_t stride, PixelRect area, const ImageNode& node) {
  return {memory - static_cast<ptrdiff_t>(area.top) * stride - area.left, stride, node.width(),
          node.height()};
}

int64_t PixelCount(PixelRect area) {
  return IsEmpty(area) ? 0 : int64_t{area.right - area.left} * (area.bottom - area.top);
}

std::unique_ptr<uint32_t[]> Room(PixelRect area) {
  // Unwritten: every pixel is generated before it is read.
  return std::unique_ptr<uint32_t[]>(new uint32_t[static_cast<size_t>(PixelCount(area))]);
}

}  // namespace

class Evaluator {
 public:
  static std::optional<ConstPixelView> Current(const ImageNode& node) {
    if (const PixelStore* stored = node.Stored()) return stored->View();
    std::lock_guard lock(node.whole_mutex_);
    if (node.whole_) return node.whole_->View();
    return std::nullopt;
  }

  // `area` of `node` into `out` (in the node's coordinates), on this thread.
  static void Into(const ImageNode& node, PixelRect area, PixelView out);

  static ConstPixelView Whole(const Image& image) {
    if (const auto current = Current(*image)) return *current;
    auto store = std::make_shared<PixelStore>(image->width(), image->height());
    RealizeArea(image, image->Bounds(), store->View());
    std::lock_guard lock(image->whole_mutex_);
    if (!image->whole_) image->whole_ = std::move(store);
    return image->whole_->View();
  }

  // `source` at 1 / 2^level of its size, level 0 the source itself; past the last level
  // (one pixel), the last, and `level` says which it gave.
  static Image Level(const Image& source, int& level) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    auto& levels = source->levels_;
    while (level > 0 && static_cast<int>(levels.size()) < level) {
      const Image from = levels.empty() ? source : StoredImage(levels.back());
      if (from->width() <= 1 && from->height() <= 1) break;
      const Image half = Halved(from);
      auto store = std::make_shared<PixelStore>(half->width(), half->height());
      RealizeArea(half, half->Bounds(), store->View());
      levels.push_back(std::move(store));
    }
    level = std::clamp(level, 0, static_cast<int>(levels.size()));
    return level == 0 ? source : StoredImage(levels[level - 1]);
  }
};

namespace {

// What a node reads its inputs through while it generates: stored pixels as they are,
// anything else worked out into room of its own, kept until the node is done.
class Reader final : public InputReader {
 public:
  ConstPixelView Read(const Image& input, PixelRect area) override {
    if (const auto current = Evaluator::Current(*input)) return *current;
    area = Intersect(area, input->Bounds());
    if (IsEmpty(area)) return {nullptr, 0, input->width(), input->height()};
    rooms_.push_back(Room(area));
    const PixelView placed = Placed(rooms_.back().get(), area.right - area.left, area, *input);
    Evaluator::Into(*input, area, placed);
    return placed;
  }
  void ReadInto(const Image& input, PixelRect area, PixelView out) override {
    Evaluator::Into(*input, Intersect(area, input->Bounds()), out);
  }

 private:
  std::vector<std::unique_ptr<uint32_t[]>> rooms_;
};

}  // namespace

void Evaluator::Into(const ImageNode& node, PixelRect area, PixelView out) {
  if (IsEmpty(area)) return;
  if (const auto colour = node.Colour()) return FillArea(out, area, *colour);
  if (const auto current = Current(node)) {
    return CopyRect(out, area.left, area.top, *current, area.left, area.top, area.right - area.left,
                    area.bottom - area.top);
  }
  Reader reader;
  node.Generate(out, area, reader);
  generated.fetch_add(static_cast<uint64_t>(PixelCount(area)), std::memory_order_relaxed);
}

void RealizeArea(const Image& image, PixelRect area, PixelView out) {
  area = Intersect(area, image->Bounds());
  if (IsEmpty(area)) return;
  const PixelView placed = Placed(out.pixels, out.stride, area, *image);
  ForRowBands(area.bottom - area.top, PixelCount(area), [&](int32_t first, int32_t last) {
    Evaluator::Into(*image, {area.left, area.top + first, area.right, area.top + last}, placed);
  });
}

ConstPixelView Realize(const Image& image) {
  return Evaluator::Whole(image);
}

std::optional<ConstPixelView> Current(const Image& image) {
  return Evaluator::Current(*image);
}

void RealizeStrips(const Image& image, PixelRect area, int32_t rows,
                   const std::function<void(int32_t top, ConstPixelView strip)>& use) {
  area = Intersect(area, image->Bounds());
  if (IsEmpty(area) || rows <= 0) return;
  const int32_t width = area.right - area.left, height = area.bottom - area.top;
  const std::optional<ConstPixelView> current = Current(image);
  const std::unique_ptr<uint32_t[]> room =
      current ? nullptr : Room({0, 0, width, std::min(rows, height)});
  for (int32_t top = 0; top < height; top += rows) {
    const PixelRect strip{area.left, area.top + top, area.right,
                          area.top + std::min(height, top + rows)};
    const int32_t n = strip.bottom - strip.top;
    if (current) {
      use(top, {current->row(strip.top) + strip.left, current->stride, width, n});
    } else {
      RealizeArea(image, strip, {room.get(), width, width, n});
      use(top, {room.get(), width, width, n});
    }
  }
}

void RealizeStripsByRows(
    const Image& image, PixelRect area, int32_t rows,
    const std::function<void(int32_t top, int32_t height, const StripRows& rows)>& use) {
  area = Intersect(area, image->Bounds());
  if (IsEmpty(area) || rows <= 0) return;
  const int32_t width = area.right - area.left, height = area.bottom - area.top;
  const int32_t count = (height + rows - 1) / rows;
  const std::optional<ConstPixelView> current = Current(image);
  ForRowBands(count, int64_t{width} * height, [&](int32_t first, int32_t last) {
    std::vector<uint32_t> room;
    for (int32_t i = first; i < last; ++i) {
      const int32_t top = area.top + i * rows;
      const StripRows strip_rows = [&](int32_t y, int32_t n) {
        const PixelRect part{area.left, top + y, area.right, top + y + n};
        if (current)
          return ConstPixelView{current->row(part.top) + part.left, current->stride, width, n};
        room.resize(std::max(room.size(), static_cast<size_t>(width) * n));
        Evaluator::Into(*image, part, Placed(room.data(), width, part, *image));
        return ConstPixelView{room.data(), width, width, n};
      };
      use(i * rows, std::min(rows, height - i * rows), strip_rows);
    }
  });
}

namespace {

// Where the reduced view's samples land on pasted rectangles, they take the pasted
// pixels: `large` shows the image at `twice` its size, its pixel (i, j) the image's point
// ((i + 1/2) / twice, (j + 1/2) / twice).
void SamplePastes(const PastedNode& paste, double twice, PixelView large) {
  const auto first_sample = [twice](int32_t edge, int32_t limit) {
    return std::clamp(static_cast<int32_t>(std::ceil(edge * twice - 0.5)), 0, limit);
  };
  // In bands of rows, so that room is needed for a band's rectangles only.
  constexpr int32_t kBandRows = 64;
  std::map<int32_t, std::vector<const PasteRect*>> bands;
  for (const PasteRect& r : paste.Rects()) bands[r.to.top / kBandRows].push_back(&r);
  Reader reader;
  for (const auto& [band, rects] : bands) {
    std::vector<PixelRect> needs;
    PixelRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const PasteRect* r : rects) {
      const PixelRect from = r->From();
      needs.push_back(from);
      box = {std::min(box.left, from.left), std::min(box.top, from.top),
             std::max(box.right, from.right), std::max(box.bottom, from.bottom)};
    }
    const std::unique_ptr<uint32_t[]> room = Room(box);
    const PixelView source = Placed(room.get(), box.right - box.left, box, *paste.source());
    if (const PixelStore* stored = paste.source()->Stored()) {
      CopyRect(source, box.left, box.top, stored->View(), box.left, box.top, box.right - box.left,
               box.bottom - box.top);
    } else {
      ReadUnder(reader, paste.source(), std::move(needs), source);
    }
    for (const PasteRect* r : rects) {
      const int32_t i0 = first_sample(r->to.left, large.width);
      const int32_t i1 = first_sample(r->to.right, large.width);
      const int32_t j0 = first_sample(r->to.top, large.height);
      const int32_t j1 = first_sample(r->to.bottom, large.height);
      for (int32_t j = j0; j < j1; ++j) {
        const auto y = static_cast<int32_t>(std::floor((j + 0.5) / twice));
        const uint32_t* from = source.row(r->from.y + y - r->to.top) + r->from.x - r->to.left;
        uint32_t* to = large.row(j);
        for (int32_t i = i0; i < i1; ++i) {
          to[i] = from[static_cast<int32_t>(std::floor((i + 0.5) / twice))];
        }
      }
    }
  }
}

}  // namespace

void RealizeReduced(const Image& image, double scale, PixelView out) {
  // A paste over a draw over one colour (a turned picture with its edges repaired): the
  // draw from its source's reduced copies, then the pastes. Anything else from its own.
  const auto* paste = dynamic_cast<const PastedNode*>(image.get());
  const Image& under = paste != nullptr ? paste->base() : image;
  const auto* drawn = dynamic_cast<const DrawnNode*>(under.get());
  if (drawn != nullptr && !drawn->base()->Colour()) drawn = nullptr;
  if (drawn == nullptr) paste = nullptr;
  if (drawn == nullptr) (void)Realize(image);  // read whole by every level below
  const Image& source = drawn != nullptr ? drawn->source() : image;
  const Affine to_shown = drawn != nullptr ? drawn->map() : Affine{};
  const uint32_t clear = drawn != nullptr ? *drawn->base()->Colour() : 0xFF000000;
  // Drawn at twice the size, then halved: each shown pixel the average of four bilinear
  // samples, close to the area it covers even where the map turns the picture.
  const double twice = 2 * scale;
  // How much one source pixel shrinks to: the map's own scale (a turn keeps sizes) times
  // the reduction.
  const double shrink = twice * std::sqrt(std::abs(to_shown.Determinant()));
  int level = shrink > 0 ? std::max(0, static_cast<int>(std::floor(std::log2(1 / shrink)))) : 0;
  const Image reduced = Evaluator::Level(source, level);
  // A level pixel stands for the 2^level x 2^level source pixels from its corner on (at
  // an odd edge, for fewer).
  const double f = std::ldexp(1.0, level), g = f;
  const Affine from_level =
      Affine{f, 0, 0, g, 0, 0}.Then(to_shown).Then(Affine{twice, 0, 0, twice, 0, 0});
  const auto reduced_side = [scale](int32_t side, int32_t room) {
    return std::min(room, static_cast<int32_t>(std::ceil(scale * side)));
  };
  const int32_t width = reduced_side(image->width(), out.width);
  const int32_t height = reduced_side(image->height(), out.height);
  const Image drawn_large = Drawn(SolidImage(2 * width, 2 * height, clear), reduced, from_level,
                                  drawn != nullptr ? drawn->resampling() : Resampling::kBilinear);
  const std::unique_ptr<uint32_t[]> room = Room(drawn_large->Bounds());
  const PixelView large{room.get(), 2 * width, 2 * width, 2 * height};
  RealizeArea(drawn_large, drawn_large->Bounds(), large);
  if (paste != nullptr) SamplePastes(*paste, twice, large);
  ForRowBands(height, int64_t{width} * height * 4, [&](int32_t first, int32_t last) {
    HalveArea(out, large, {0, first, width, last});
  });
}

Image Settled(const Image& image, int max_depth) {
  if (image->Depth() <= max_depth) return image;
  auto store = std::make_shared<PixelStore>(image->width(), image->height());
  RealizeArea(image, image->Bounds(), store->View());
  return StoredImage(std::move(store));
}

uint64_t PixelsGenerated() {
  return generated.load(std::memory_order_relaxed);
}

}  // namespace platform

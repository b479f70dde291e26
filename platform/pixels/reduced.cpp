#include "platform/pixels/reduced.h"

#include <algorithm>
#include <cmath>

#include "platform/pixels/parallel.h"

namespace platform {

Bitmap HalfSize(ConstPixelView source) {
  Bitmap half((source.width + 1) / 2, (source.height + 1) / 2, 0);
  HalfSizeInto(half.WriteAll().pixels, source);
  return half;
}

void HalfSizeInto(PixelView out, ConstPixelView source) {
  const int32_t width = std::min(out.width, (source.width + 1) / 2);
  const int32_t height = std::min(out.height, (source.height + 1) / 2);
  ForRowBands(height, int64_t{width} * height * 4, [&](int32_t first, int32_t last) {
    for (int32_t y = first; y < last; ++y) {
      const uint32_t* top = source.row(2 * y);
      const uint32_t* bottom = 2 * y + 1 < source.height ? source.row(2 * y + 1) : top;
      uint32_t* row = out.row(y);
      for (int32_t x = 0; x < width; ++x) {
        const int32_t left = 2 * x, right = std::min(2 * x + 1, source.width - 1);
        const uint32_t taps[4] = {top[left], top[right], bottom[left], bottom[right]};
        // An odd edge repeats its pixels, so each real one still weighs its share.
        uint32_t pixel = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          uint32_t sum = 2;  // rounds to nearest
          for (const uint32_t tap : taps) sum += (tap >> shift) & 255;
          pixel |= (sum / 4) << shift;
        }
        row[x] = pixel;
      }
    }
  });
}

PixelView Pyramid::Scratch(int32_t width, int32_t height) {
  if (scratch_.width() != width || scratch_.height() != height) {
    scratch_.Resize(width, height, 0, "the reduced view");
  }
  return scratch_.WriteAll().pixels;
}

ConstPixelView Pyramid::Level(const Bitmap& source, int& level) {
  if (stamp_ != source.Stamp()) {
    levels_.clear();
    stamp_ = source.Stamp();
  }
  if (level <= 0) return source.Read();
  while (static_cast<int>(levels_.size()) < level) {
    const ConstPixelView from = levels_.empty() ? source.Read() : levels_.back().Read();
    if (from.width <= 1 && from.height <= 1) break;
    levels_.push_back(HalfSize(from));
  }
  level = std::min(level, static_cast<int>(levels_.size()));
  return level == 0 ? source.Read() : levels_[level - 1].Read();
}

void DrawReduced(PixelView out, const Bitmap& shown, double scale, Pyramid& pyramid) {
  const std::optional<Bitmap::DrawnFrom> drawn = shown.PendingDrawn();
  const Bitmap& source = drawn ? *drawn->source : shown;
  const Affine to_shown = drawn ? drawn->map : Affine{};
  const uint32_t clear = drawn ? drawn->clear : 0xFF000000;
  // Drawn at twice the size, then halved: each shown pixel the average of four bilinear
  // samples, close to the area it covers even where the map turns the picture.
  const double twice = 2 * scale;
  // How much one source pixel shrinks to: the map's own scale (a turn keeps sizes) times
  // the reduction.
  const double shrink = twice * std::sqrt(std::abs(to_shown.Determinant()));
  int level = shrink > 0 ? std::max(0, static_cast<int>(std::floor(std::log2(1 / shrink)))) : 0;
  const ConstPixelView reduced = pyramid.Level(source, level);
  // A level pixel stands for the 2^level x 2^level source pixels from its corner on (at
  // an odd edge, for fewer).
  const double f = std::ldexp(1.0, level), g = f;
  const Affine from_level =
      Affine{f, 0, 0, g, 0, 0}.Then(to_shown).Then(Affine{twice, 0, 0, twice, 0, 0});
  const auto reduced_side = [scale](int32_t side, int32_t room) {
    return std::min(room, static_cast<int32_t>(std::ceil(scale * side)));
  };
  const int32_t width = reduced_side(shown.width(), out.width);
  const int32_t height = reduced_side(shown.height(), out.height);
  const PixelView large = pyramid.Scratch(2 * width, 2 * height);
  DrawTransformed(large, reduced, from_level, {0, 0, large.width, large.height}, clear);
  HalfSizeInto(out, large);
}

}  // namespace platform

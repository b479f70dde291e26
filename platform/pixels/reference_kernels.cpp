// The reference kernels: one pixel at a time, in double precision, straight from the
// rules in pixel_conventions.md. Slow on purpose; the fast kernels are held to them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/pixels/kernels.h"
#include "platform/pixels/sharp.h"

namespace platform {

namespace {

bool Inside(ConstPixelView view, int64_t x, int64_t y) {
  return x >= 0 && y >= 0 && x < view.width && y < view.height;
}

// Source index of the k-th pixel of a run of `run` target pixels over `size` source pixels.
int64_t StretchIndex(int64_t k, int64_t size, int64_t run) {
  return static_cast<int64_t>(std::floor((static_cast<double>(k) + 0.5) * size / run));
}

}  // namespace

bool ReferencePlgBlt(PixelView dst, const Point corners[3], ConstPixelView src, int32_t src_x,
                     int32_t src_y, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  const Point p1 = corners[0], p2 = corners[1], p3 = corners[2];
  const int64_t ux = int64_t{p2.x} - p1.x, uy = int64_t{p2.y} - p1.y;
  const int64_t vx = int64_t{p3.x} - p1.x, vy = int64_t{p3.y} - p1.y;
  if (ux * vy - uy * vx == 0) return false;
  auto copy = [&](int64_t x, int64_t y, int64_t sx, int64_t sy) {
    sx += src_x;
    sy += src_y;
    if (Inside(dst, x, y) && Inside(src, sx, sy)) {
      dst.row(static_cast<int32_t>(y))[x] =
          src.at(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
    }
  };
  if (uy == 0 && vx == 0) {  // Rows stay rows: each axis counts from the corner pixel.
    const int64_t dx = ux > 0 ? 1 : -1, dy = vy > 0 ? 1 : -1;
    for (int64_t m = 0; m < std::abs(vy); ++m) {
      for (int64_t k = 0; k < std::abs(ux); ++k) {
        copy(p1.x + dx * k, p1.y + dy * m, StretchIndex(k, width, std::abs(ux)),
             StretchIndex(m, height, std::abs(vy)));
      }
    }
    return true;
  }
  // Everywhere else each target centre is mapped back into the source.
  const Affine to_dst{static_cast<double>(ux) / width,  static_cast<double>(uy) / width,
                      static_cast<double>(vx) / height, static_cast<double>(vy) / height,
                      static_cast<double>(p1.x),        static_cast<double>(p1.y)};
  const Affine to_src = *to_dst.Inverse();
  for (int32_t y = 0; y < dst.height; ++y) {
    for (int32_t x = 0; x < dst.width; ++x) {
      const double s = to_src.X(x + 0.5, y + 0.5), t = to_src.Y(x + 0.5, y + 0.5);
      if (s >= 0 && t >= 0 && s < width && t < height) {
        copy(x, y, static_cast<int64_t>(std::floor(s)), static_cast<int64_t>(std::floor(t)));
      }
    }
  }
  return true;
}

void ReferenceBitBlt(PixelView dst, int32_t x, int32_t y, int32_t width, int32_t height,
                     ConstPixelView src, int32_t src_x, int32_t src_y) {
  // The source as it was, in case it is also the target.
  std::vector<uint32_t> before(static_cast<size_t>(src.width) * src.height);
  for (int32_t row = 0; row < src.height; ++row) {
    std::copy_n(src.row(row), src.width, before.data() + static_cast<size_t>(row) * src.width);
  }
  const ConstPixelView original{before.data(), src.width, src.width, src.height};
  for (int64_t ty = 0; ty < dst.height; ++ty) {
    for (int64_t tx = 0; tx < dst.width; ++tx) {
      const int64_t i = tx - x, j = ty - y;
      if (i < 0 || j < 0 || i >= width || j >= height) continue;
      if (Inside(original, src_x + i, src_y + j)) {
        dst.row(static_cast<int32_t>(ty))[tx] =
            original.at(static_cast<int32_t>(src_x + i), static_cast<int32_t>(src_y + j));
      }
    }
  }
}

void ReferenceDrawTransformed(PixelView dst, ConstPixelView src, const Affine& src_to_dst) {
  const auto dst_to_src = src_to_dst.Inverse();
  if (!dst_to_src || src.empty()) return;
  const EdgeScale scale = EdgeScales(*dst_to_src);
  for (int32_t y = 0; y < dst.height; ++y) {
    for (int32_t x = 0; x < dst.width; ++x) DrawPixel(dst.row(y)[x], src, *dst_to_src, scale, x, y);
  }
}

bool ReferenceSharpSamples(PixelView out, ConstPixelView src, const Affine& src_to_dst,
                           PixelRect area) {
  const auto found = SharpTurnOf(src_to_dst, src.width, src.height);
  if (!found || src.empty()) return false;
  const SharpTurn& turn = *found;
  // A shift by `offset`: the weighted taps around it.
  auto shifted = [](double offset, const auto& at) {
    const double whole = std::floor(offset);
    double w[kSharpTaps];
    SharpWeights(offset - whole, w);
    const auto first = static_cast<int32_t>(whole);
    double sum = 0;
    for (int k = 0; k < kSharpTaps; ++k) sum += w[k] * at(first - kSharpLobes + 1 + k);
    return sum;
  };
  for (int32_t y = area.top; y < area.bottom; ++y) {
    for (int32_t x = area.left; x < area.right; ++x) {
      uint32_t pixel = 0;
      double levels[4];
      for (int ch = 0; ch < 4; ++ch) {
        // s', its edge pixels repeated outside it.
        auto s0 = [&](int32_t i, int32_t j) {
          int32_t sx, sy;
          turn.SourcePixel(std::clamp(i, 0, turn.width - 1), std::clamp(j, 0, turn.height - 1), sx,
                           sy);
          return static_cast<double>((src.at(sx, sy) >> (8 * ch)) & 0xFF);
        };
        auto i1 = [&](int32_t c, int32_t r) {
          return shifted(turn.Pass1(r), [&](int32_t n) { return s0(c + n, r); });
        };
        auto i2 = [&](int32_t c, int32_t r) {
          return shifted(turn.Pass2(c), [&](int32_t n) { return i1(c, r + n); });
        };
        const double i3 = shifted(turn.Pass3(y), [&](int32_t n) { return i2(x + n, y); });
        // Held within the four pixels of s' around the point shown.
        double u, v;
        turn.Inverse(x + 0.5, y + 0.5, u, v);
        const auto i = static_cast<int32_t>(std::floor(u - 0.5));
        const auto j = static_cast<int32_t>(std::floor(v - 0.5));
        const double lo = std::min({s0(i, j), s0(i + 1, j), s0(i, j + 1), s0(i + 1, j + 1)});
        const double hi = std::max({s0(i, j), s0(i + 1, j), s0(i, j + 1), s0(i + 1, j + 1)});
        levels[ch] = std::round(std::clamp(std::clamp(i3, lo, hi), 0.0, 255.0));
      }
      for (int ch = 0; ch < 4; ++ch) {
        const double level = ch < 3 ? std::min(levels[ch], levels[3]) : levels[3];
        pixel |= static_cast<uint32_t>(level) << (8 * ch);
      }
      out.row(y)[x] = pixel;
    }
  }
  return true;
}

}  // namespace platform

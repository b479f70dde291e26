#include "platform/pixels/level.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/pixels/parallel.h"

namespace platform {

namespace {

constexpr double kWorkingPixels = 1.0e6;
constexpr int kBinsPerDegree = 4;
constexpr int kBins = 90 * kBinsPerDegree;
// Edges weaker than this (in grey levels across three pixels) are noise, not lines.
constexpr float kWeakest = 12.0f;
// How wide a pile is taken to be: the edges of one straight line scatter this much.
constexpr double kPileDegrees = 1.5;
// Scales looked at: the working one and three coarser, each half the last.
constexpr int kScales = 4;
// A scale with fewer strong edges than this says nothing: a few edges agree by chance.
constexpr size_t kFewestEdges = 400;
// Around each scale's reading, the sharpest reading is looked for this far either way.
constexpr double kSearchDegrees = 3.0;
// The pile's share over an even spread's that foliage, clouds and noise reach, and how
// far above it a reading is fully believed.
constexpr double kEvenRatio = 1.7;
constexpr double kSureRatio = 4.0;

struct Grey {
  int32_t width = 0, height = 0;
  std::vector<float> pixels;
  float at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Each pixel the mean luma of a factor x factor block: the area filter, so that no
// aliasing of fine texture makes lines that are not there.
Grey Reduced(ConstPixelView picture) {
  const double area = static_cast<double>(picture.width) * picture.height;
  const int32_t factor =
      std::max<int32_t>(1, static_cast<int32_t>(std::ceil(std::sqrt(area / kWorkingPixels))));
  Grey grey;
  grey.width = picture.width / factor;
  grey.height = picture.height / factor;
  grey.pixels.assign(static_cast<size_t>(grey.width) * grey.height, 0.0f);
  const float scale = 1.0f / (static_cast<float>(factor) * factor * 256.0f);
  ForRowBands(grey.height, int64_t{picture.width} * picture.height,
              [&](int32_t first, int32_t last) {
                std::vector<uint32_t> sums(static_cast<size_t>(grey.width));
                for (int32_t y = first; y < last; ++y) {
                  std::fill(sums.begin(), sums.end(), 0u);
                  for (int32_t dy = 0; dy < factor; ++dy) {
                    const uint32_t* row = picture.row(y * factor + dy);
                    for (int32_t x = 0; x < grey.width; ++x) {
                      uint32_t sum = 0;
                      for (int32_t dx = 0; dx < factor; ++dx) {
                        const uint32_t p = row[x * factor + dx];
                        sum += 77 * ((p >> 16) & 0xFF) + 150 * ((p >> 8) & 0xFF) + 29 * (p & 0xFF);
                      }
                      sums[static_cast<size_t>(x)] += sum;
                    }
                  }
                  float* out = grey.pixels.data() + static_cast<size_t>(y) * grey.width;
                  for (int32_t x = 0; x < grey.width; ++x)
                    out[x] = static_cast<float>(sums[x]) * scale;
                }
              });
  return grey;
}

// Half the size, each pixel the mean of the 2 x 2 it covers.
Grey Half(const Grey& grey) {
  Grey half;
  half.width = grey.width / 2;
  half.height = grey.height / 2;
  half.pixels.resize(static_cast<size_t>(half.width) * half.height);
  for (int32_t y = 0; y < half.height; ++y) {
    for (int32_t x = 0; x < half.width; ++x) {
      half.pixels[static_cast<size_t>(y) * half.width + x] =
          (grey.at(2 * x, 2 * y) + grey.at(2 * x + 1, 2 * y) + grey.at(2 * x, 2 * y + 1) +
           grey.at(2 * x + 1, 2 * y + 1)) /
          4.0f;
    }
  }
  return half;
}

// The direction of each strong edge's line, folded into [0, 90) degrees and binned, with
// its strength as weight; and the same as unit vectors at four times the angle (where a
// fold by 90 degrees is a whole turn), for the fine reading around the pile.
struct Edges {
  std::array<double, kBins> histogram{};
  std::vector<float> folded;  // degrees in [0, 90)
  std::vector<float> weights;
};

Edges EdgesOf(const Grey& grey) {
  Edges edges;
  // Scharr's kernels: the most nearly isotropic of the 3 x 3 ones, so that an edge's
  // measured direction does not lean toward the pixel grid's axes.
  for (int32_t y = 1; y + 1 < grey.height; ++y) {
    for (int32_t x = 1; x + 1 < grey.width; ++x) {
      const float a = grey.at(x - 1, y - 1), b = grey.at(x, y - 1), c = grey.at(x + 1, y - 1);
      const float d = grey.at(x - 1, y), f = grey.at(x + 1, y);
      const float g = grey.at(x - 1, y + 1), h = grey.at(x, y + 1), i = grey.at(x + 1, y + 1);
      const float gx = (3 * (c + i) + 10 * f - 3 * (a + g) - 10 * d) / 16.0f;
      const float gy = (3 * (g + i) + 10 * h - 3 * (a + c) - 10 * b) / 16.0f;
      const float strength = std::sqrt(gx * gx + gy * gy);
      if (strength < kWeakest) continue;
      // y runs down, so the angle is clockwise on the screen; a line runs across its
      // gradient, which the fold by 90 degrees makes no matter.
      float degrees = std::atan2(gy, gx) * static_cast<float>(180.0 / std::numbers::pi);
      degrees = std::fmod(degrees + 360.0f, 90.0f);
      edges.folded.push_back(degrees);
      edges.weights.push_back(strength);
      const int bin = std::min(kBins - 1, static_cast<int>(degrees * kBinsPerDegree));
      edges.histogram[static_cast<size_t>(bin)] += strength;
    }
  }
  return edges;
}

// The centre, in folded degrees, of the bins' heaviest window of kPileDegrees.
double Pile(const std::array<double, kBins>& histogram) {
  const int width = static_cast<int>(kPileDegrees * kBinsPerDegree);
  double best = -1;
  int at = 0;
  for (int start = 0; start < kBins; ++start) {
    double sum = 0;
    for (int k = 0; k < width; ++k) sum += histogram[static_cast<size_t>((start + k) % kBins)];
    if (sum > best) best = sum, at = start;
  }
  return (at + width / 2.0) / kBinsPerDegree;
}

// Folded degrees as a signed distance from `centre`, in (-45, 45].
double Offset(double degrees, double centre) {
  double d = std::fmod(degrees - centre + 45.0, 90.0);
  if (d < 0) d += 90.0;
  return d - 45.0;
}

}  // namespace

namespace {

// What the edges of one scale say: the tilt of their lines and how much they agree.
struct Reading {
  double lines = 0;  // the lines' clockwise tilt, in (-45, 45]
  double ratio = 0;  // the pile's share of the edges over an even spread's: 1 for none
};

Reading Read(const Edges& edges) {
  double total = 0;
  for (const double w : edges.histogram) total += w;
  if (total <= 0 || edges.folded.size() < kFewestEdges) return {};
  // The pile's own mean, around its rough place: to a fraction of a bin.
  double centre = Pile(edges.histogram);
  for (int pass = 0; pass < 2; ++pass) {
    double sum = 0, weight = 0;
    for (size_t k = 0; k < edges.folded.size(); ++k) {
      const double d = Offset(edges.folded[k], centre);
      if (std::abs(d) > kPileDegrees) continue;
      sum += d * edges.weights[k];
      weight += edges.weights[k];
    }
    if (weight > 0) centre += sum / weight;
  }
  double inside = 0;
  for (size_t k = 0; k < edges.folded.size(); ++k) {
    if (std::abs(Offset(edges.folded[k], centre)) <= kPileDegrees) inside += edges.weights[k];
  }
  centre = std::fmod(centre + 90.0, 90.0);
  return {centre > 45.0 ? centre - 90.0 : centre, inside / total / (2 * kPileDegrees / 90.0)};
}

// How sharp the picture's rows and columns are when read along lines tilted clockwise by
// `degrees`: each pixel goes to the row (and the column) its line runs through, and the
// rows' means differ most from their neighbours' when the lines are followed exactly.
double Sharpness(const Grey& grey, double degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  const double s = std::sin(a), c = std::cos(a);
  const double diagonal = std::hypot(grey.width, grey.height);
  const auto size = static_cast<size_t>(2 * diagonal + 3);
  std::vector<float> row_sum(size), row_count(size), column_sum(size), column_count(size);
  for (int32_t y = 0; y < grey.height; ++y) {
    // Along a row of pixels both places move by a constant step: no product per pixel.
    // Offset by the diagonal they stay positive, so that truncating rounds.
    double row = y * c + diagonal + 0.5, column = y * s + diagonal + 0.5;
    const float* pixels = grey.pixels.data() + static_cast<size_t>(y) * grey.width;
    for (int32_t x = 0; x < grey.width; ++x, row -= s, column += c) {
      const auto r = static_cast<size_t>(row), k = static_cast<size_t>(column);
      row_sum[r] += pixels[x], row_count[r] += 1;
      column_sum[k] += pixels[x], column_count[k] += 1;
    }
  }
  const auto contrast = [](const std::vector<float>& sum, const std::vector<float>& count) {
    double total = 0;
    for (size_t k = 0; k + 1 < sum.size(); ++k) {
      const double n = std::min(count[k], count[k + 1]);
      if (n < 1) continue;
      const double d = sum[k + 1] / count[k + 1] - sum[k] / count[k];
      total += d * d * n;
    }
    return total;
  };
  return contrast(row_sum, row_count) + contrast(column_sum, column_count);
}

// The lines' tilt, near one of the candidates, at which the picture reads sharpest:
// searched coarsely on a quarter of the working scale, then finely on a half.
double Sharpest(const std::vector<Grey>& scales, std::vector<double> candidates) {
  // Candidates closer than the search reaches are searched once.
  std::sort(candidates.begin(), candidates.end());
  std::vector<double> searched;
  for (const double candidate : candidates) {
    if (searched.empty() || candidate - searched.back() > kSearchDegrees) {
      searched.push_back(candidate);
    }
  }
  const Grey& coarse = scales[std::min<size_t>(2, scales.size() - 1)];
  const Grey& fine = scales[std::min<size_t>(1, scales.size() - 1)];
  double best = searched.front(), sharpest = -1;
  for (const double candidate : searched) {
    for (double t = candidate - kSearchDegrees; t <= candidate + kSearchDegrees; t += 0.25) {
      const double sharpness = Sharpness(coarse, t);
      if (sharpness > sharpest) sharpest = sharpness, best = t;
    }
  }
  const double around = best;
  sharpest = -1;
  for (double t = around - 0.3; t <= around + 0.3; t += 0.05) {
    const double sharpness = Sharpness(fine, t);
    if (sharpness > sharpest) sharpest = sharpness, best = t;
  }
  return best;
}

}  // namespace

LevelSuggestion SuggestLevel(ConstPixelView picture) {
  LevelSuggestion suggestion;
  if (picture.width < 8 || picture.height < 8) return suggestion;
  // Each scale sees other lines: the working one a building's edges, a coarser one the
  // lines of a page's text, which only there become bands with straight sides. The
  // scale whose edges agree best is believed, and each scale's reading is a candidate.
  std::vector<Grey> scales{Reduced(picture)};
  while (scales.size() < kScales && scales.back().width >= 64 && scales.back().height >= 64) {
    scales.push_back(Half(scales.back()));
  }
  Reading best;
  std::vector<double> candidates;
  for (const Grey& grey : scales) {
    const Reading reading = Read(EdgesOf(grey));
    if (reading.ratio <= 0) continue;
    candidates.push_back(reading.lines);
    if (reading.ratio > best.ratio) best = reading;
  }
  if (candidates.empty()) return suggestion;
  // Edges of small features lean toward the grid's axes or away from them; the rows and
  // columns of the picture read along the lines do not. The tilt at which they are
  // sharpest, near the candidates, is the one given.
  suggestion.tilt = -Sharpest(scales, candidates);
  double confidence = std::clamp((best.ratio - kEvenRatio) / kSureRatio, 0.0, 1.0);
  // Within 5 degrees of 45 a line could be meant level or upright: ever less sure.
  confidence *= std::clamp((45.0 - std::abs(suggestion.tilt)) / 5.0, 0.0, 1.0);
  suggestion.confidence = confidence;
  if (confidence >= kLevelConfidence) {
    const int rounded = static_cast<int>(std::lround(suggestion.tilt));
    suggestion.level = ((rounded % 360) + 360) % 360;
  }
  return suggestion;
}

}  // namespace platform

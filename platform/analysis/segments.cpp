#include "platform/analysis/segments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <opencv2/imgproc.hpp>

#include "platform/pixels/parallel.h"

namespace platform {

namespace {

int32_t Factor(ConstPixelView picture, double pixels) {
  const double area = static_cast<double>(picture.width) * picture.height;
  return std::max<int32_t>(1, static_cast<int32_t>(std::ceil(std::sqrt(area / pixels))));
}

cv::Mat Reduced(ConstPixelView picture, int32_t factor) {
  const int32_t width = picture.width / factor, height = picture.height / factor;
  cv::Mat grey(height, width, CV_8UC1);
  const uint32_t divisor = static_cast<uint32_t>(factor) * factor * 256;
  // Each band of rows sums the blocks below its rows only: the bands share nothing.
  ForRowBands(height, int64_t{picture.width} * picture.height, [&](int32_t first, int32_t last) {
    std::vector<uint32_t> sums(static_cast<size_t>(width));
    for (int32_t y = first; y < last; ++y) {
      std::fill(sums.begin(), sums.end(), 0u);
      for (int32_t dy = 0; dy < factor; ++dy) {
        const uint32_t* row = picture.row(y * factor + dy);
        for (int32_t x = 0; x < width; ++x) {
          uint32_t sum = 0;
          for (int32_t dx = 0; dx < factor; ++dx) {
            const uint32_t p = row[x * factor + dx];
            sum += 77 * ((p >> 16) & 0xFF) + 150 * ((p >> 8) & 0xFF) + 29 * (p & 0xFF);
          }
          sums[static_cast<size_t>(x)] += sum;
        }
      }
      uint8_t* out = grey.ptr<uint8_t>(y);
      for (int32_t x = 0; x < width; ++x) {
        out[x] = static_cast<uint8_t>((sums[static_cast<size_t>(x)] + divisor / 2) / divisor);
      }
    }
  });
  return grey;
}

}  // namespace

Segments SegmentsOf(ConstPixelView picture, double pixels) {
  Segments result;
  if (picture.width < 8 || picture.height < 8) return result;
  result.scale = Factor(picture, pixels);
  const cv::Mat grey = Reduced(picture, result.scale);
  result.width = grey.cols;
  result.height = grey.rows;
  std::vector<cv::Vec4f> lines;
  cv::createLineSegmentDetector(cv::LSD_REFINE_STD)->detect(grey, lines);
  result.segments.reserve(lines.size());
  for (const cv::Vec4f& l : lines) result.segments.push_back({l[0], l[1], l[2], l[3]});
  return result;
}

}  // namespace platform

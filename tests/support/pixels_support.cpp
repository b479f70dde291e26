#include "tests/support/pixels_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

namespace testing_support {

platform::Bitmap Numbered(int32_t width, int32_t height) {
  platform::Bitmap bitmap(width, height, 0);
  const platform::PixelView pixels = bitmap.Write();
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      pixels.row(y)[x] = 0xFF000000u | (static_cast<uint32_t>(y) << 12) | static_cast<uint32_t>(x);
    }
  }
  return bitmap;
}

platform::Affine Turn(double degrees, double dx, double dy) {
  const double a = degrees * std::numbers::pi / 180.0;
  return platform::Affine{std::cos(a), std::sin(a), -std::sin(a), std::cos(a), dx, dy};
}

platform::Bitmap Photo(int32_t width, int32_t height, uint32_t seed) {
  platform::Bitmap bitmap(width, height, 0);
  const platform::PixelView pixels = bitmap.Write();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-12, 12);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      auto channel = [&](int base) {
        return static_cast<uint32_t>(std::clamp(base + noise(random), 0, 255));
      };
      const uint32_t r = channel(x * 255 / std::max(width, 1));
      const uint32_t g = channel(y * 255 / std::max(height, 1));
      const uint32_t b = channel(128 + ((x + y) % 64) - 32);
      pixels.row(y)[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  return bitmap;
}

platform::Bitmap Translucent(int32_t width, int32_t height) {
  platform::Bitmap bitmap(width, height, 0);
  const platform::PixelView pixels = bitmap.Write();
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t a = 40 + static_cast<uint32_t>(x * 7 + y * 13) % 216;
      const uint32_t r = a * static_cast<uint32_t>(x % 256) / 255,
                     g = a * static_cast<uint32_t>(y % 256) / 255;
      pixels.row(y)[x] = (a << 24) | (r << 16) | (g << 8) | (a / 2);
    }
  }
  return bitmap;
}

void Put(platform::Bitmap& bitmap, int32_t x, int32_t y, uint32_t pixel) {
  bitmap.Write().row(y)[x] = pixel;
}

std::string FirstDifference(const platform::Bitmap& a, const platform::Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) {
    return "sizes differ: " + std::to_string(a.width()) + "x" + std::to_string(a.height()) +
           " and " + std::to_string(b.width()) + "x" + std::to_string(b.height());
  }
  const platform::ConstPixelView pa = a.Read(), pb = b.Read();
  for (int32_t y = 0; y < pa.height; ++y) {
    for (int32_t x = 0; x < pa.width; ++x) {
      if (pa.at(x, y) != pb.at(x, y)) {
        char text[96];
        std::snprintf(text, sizeof text, "first difference at (%d, %d): %08x and %08x", x, y,
                      pa.at(x, y), pb.at(x, y));
        return text;
      }
    }
  }
  return "";
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<uint8_t>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

namespace {

std::string CallOf(const std::string& line) {
  const std::string key = "{\"call\":\"";
  if (line.rfind(key, 0) != 0) return "";
  return line.substr(key.size(), line.find('"', key.size()) - key.size());
}

}  // namespace

std::vector<std::string> RecordingTracer::Calls(const std::string& call) const {
  std::vector<std::string> out;
  for (const auto& line : lines) {
    if (CallOf(line) == call) out.push_back(line);
  }
  return out;
}

std::vector<std::string> RecordingTracer::Names() const {
  std::vector<std::string> out;
  for (const auto& line : lines) out.push_back(CallOf(line));
  return out;
}

}  // namespace testing_support

#include "tests/test_support.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

#include "platform/ui/picture_box.h"

namespace testing_support {

platform::Bitmap Numbered(int32_t width, int32_t height) {
  platform::Bitmap bitmap(width, height, 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      bitmap.row(y)[x] = 0xFF000000u | (static_cast<uint32_t>(y) << 12) | static_cast<uint32_t>(x);
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
      bitmap.row(y)[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  return bitmap;
}

platform::Picture AsPicture(platform::Bitmap bitmap) {
  return platform::Picture(std::make_shared<const platform::Bitmap>(std::move(bitmap)));
}

std::string TempDir() {
  static QTemporaryDir dir;
  static int count = 0;
  const QString sub = dir.path() + "/" + QString::number(++count);
  QDir().mkpath(sub);
  return sub.toStdString();
}

std::string WritePicture(const platform::Bitmap& bitmap, const std::string& name,
                         const char* format) {
  const std::string path = TempDir() + "/" + name;
  QImage image(bitmap.width(), bitmap.height(), QImage::Format_ARGB32_Premultiplied);
  for (int32_t y = 0; y < bitmap.height(); ++y) {
    std::memcpy(image.scanLine(y), bitmap.row(y), static_cast<size_t>(bitmap.width()) * 4);
  }
  EXPECT_TRUE(image.save(QString::fromStdString(path), format)) << path;
  return path;
}

std::string FirstDifference(const platform::Bitmap& a, const platform::Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) {
    return "sizes differ: " + std::to_string(a.width()) + "x" + std::to_string(a.height()) +
           " and " + std::to_string(b.width()) + "x" + std::to_string(b.height());
  }
  for (int32_t y = 0; y < a.height(); ++y) {
    for (int32_t x = 0; x < a.width(); ++x) {
      if (a.at(x, y) != b.at(x, y)) {
        char text[96];
        std::snprintf(text, sizeof text, "first difference at (%d, %d): %08x and %08x", x, y,
                      a.at(x, y), b.at(x, y));
        return text;
      }
    }
  }
  return "";
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

ReportCatcher::ReportCatcher() {
  platform::SetFatalAction([this](const std::string& report) { reports.push_back(report); });
}

ReportCatcher::~ReportCatcher() {
  platform::SetFatalAction(nullptr);
}

std::unique_ptr<app::frm_Main> StartedWindow(const platform::Bitmap& picture) {
  auto form = std::make_unique<app::frm_Main>(WritePicture(picture, "test.png"));
  form->Form_Load();
  return form;
}

void Fill(platform::PictureBox& box, const platform::Bitmap& bitmap) {
  box.SetOuterSizePixels(bitmap.width() + 2 * box.BorderPixels(),
                         bitmap.height() + 2 * box.BorderPixels());
  box.Pixels() = bitmap;
}

}  // namespace testing_support

// Shared test helpers: pictures made in memory, a recording tracer, a window with a
// picture of the test's choosing, image comparison that names the first difference.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "platform/pixels/bitmap.h"
#include "platform/ui/error_report.h"
#include "platform/imageio/picture.h"
#include "platform/base/trace.h"

namespace testing_support {

// Each pixel different: 0xFF, then y in 12 bits, x in 12 bits (sizes below 4096).
platform::Bitmap Numbered(int32_t width, int32_t height);
// A smooth colour gradient with a little fixed-seed noise, opaque.
platform::Bitmap Photo(int32_t width, int32_t height, uint32_t seed = 1);
platform::Picture AsPicture(platform::Bitmap bitmap);
// A turn by `degrees` (clockwise on screen, y down), then a shift by (dx, dy).
platform::Affine Turn(double degrees, double dx, double dy);

// Writes a picture file (format from the file's suffix unless `format` is given) and
// returns its path inside a fresh temporary folder.
std::string WritePicture(const platform::Bitmap& bitmap, const std::string& name,
                         const char* format = nullptr);
std::string TempDir();

// First difference between two bitmaps, "" when equal.
std::string FirstDifference(const platform::Bitmap& a, const platform::Bitmap& b);
// Largest difference of any 8-bit channel over pixels where `mask(x, y)` holds.
template <typename Mask>
int MaxChannelDifference(const platform::Bitmap& a, const platform::Bitmap& b, Mask mask) {
  int worst = 0;
  for (int32_t y = 0; y < a.height(); ++y) {
    for (int32_t x = 0; x < a.width(); ++x) {
      if (!mask(x, y)) continue;
      for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((a.at(x, y) >> shift) & 0xFF) -
                      static_cast<int>((b.at(x, y) >> shift) & 0xFF);
        worst = std::max(worst, d < 0 ? -d : d);
      }
    }
  }
  return worst;
}

class RecordingTracer : public platform::Tracer {
 public:
  RecordingTracer() { platform::InstallTracer(this); }
  ~RecordingTracer() override { platform::InstallTracer(nullptr); }
  void Record(const std::string& line) override { lines.push_back(line); }
  // Lines whose "call" is `call`.
  std::vector<std::string> Calls(const std::string& call) const;
  // The "call" names in order.
  std::vector<std::string> Names() const;
  std::vector<std::string> lines;
};

// Captures reports of the default error handling instead of ending the program.
class ReportCatcher {
 public:
  ReportCatcher();
  ~ReportCatcher();
  std::vector<std::string> reports;
};

// The main window after start-up with `picture` as the loaded picture.
std::unique_ptr<app::frm_Main> StartedWindow(const platform::Bitmap& picture);

// Sets a surface's persistent image to `bitmap` (resizing the surface to it).
void Fill(platform::PictureBox& box, const platform::Bitmap& bitmap);

}  // namespace testing_support

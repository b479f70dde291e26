// How the photo corpus's own levels are measured, for checking them or adding a photo.
//
//   measure_photo_level                  each photo's reference lines fitted at full
//                                        resolution: each line's tilt, the photo's tilt and
//                                        how far the lines stray from it
//   measure_photo_level NAME OUT.png     the photo's long straight segments, numbered and
//                                        drawn on it, with their ends as shares of the width
//                                        and height: a start for choosing reference lines
//                                        by eye (which of them are level or upright in the
//                                        scene is for the eye to tell, not the detector)
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "platform/analysis/segments.h"
#include "tools/photo_corpus.h"
#include "tools/reference_lines.h"

namespace {

int Measure() {
  for (size_t i = 0; i < photo_corpus::Photos().size(); ++i) {
    const photo_corpus::Photo& photo = photo_corpus::Photos()[i];
    if (photo.references.empty()) continue;
    const QImage image = photo_corpus::Original(photo);
    if (image.isNull()) {
      std::printf("%-12s missing: %s\n", photo.name.c_str(), photo.package.c_str());
      continue;
    }
    const reference_lines::Level level = reference_lines::MeasureLevel(image, photo.references);
    std::printf("%-12s %-9s %4dx%-4d tilt %+6.3f spread %5.3f %s%s\n", photo.name.c_str(),
                photo.kind.c_str(), image.width(), image.height(), level.tilt, level.spread,
                level.spread <= photo_corpus::kSure ? "sure" : "rough",
                photo.held_out ? " (held out)" : "");
    for (size_t k = 0; k < level.fits.size(); ++k) {
      const reference_lines::Fit& f = level.fits[k];
      const reference_lines::Line& l = photo.references[k];
      std::printf("    %-7s %s tilt %+7.3f error %5.3f rms %4.2f px, %4d points\n",
                  l.kind == reference_lines::Line::kLevel ? "level" : "upright",
                  l.thin ? "thin" : "edge", f.tilt, f.error, f.rms, f.points);
    }
  }
  return 0;
}

int Candidates(const std::string& name, const QString& out) {
  for (const photo_corpus::Photo& photo : photo_corpus::Photos()) {
    if (photo.name != name) continue;
    QImage image = photo_corpus::Original(photo).convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return 1;
    const platform::ConstPixelView view(reinterpret_cast<const uint32_t*>(image.constBits()),
                                        image.bytesPerLine() / 4, image.width(), image.height());
    const platform::Segments found = platform::SegmentsOf(view, 2e6);
    const double sx = double(image.width()) / found.width,
                 sy = double(image.height()) / found.height;
    const double diagonal = std::hypot(found.width, found.height);
    QPainter painter(&image);
    QFont font("DejaVu Sans");
    font.setPixelSize(std::max(12, image.width() / 80));
    painter.setFont(font);
    int number = 0;
    for (const platform::Segment& s : found.segments) {
      const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
      if (std::hypot(dx, dy) < 0.04 * diagonal) continue;
      const double angle = std::atan2(dy, dx) * 180 / std::numbers::pi;
      const double from =
          std::abs(std::fmod(angle + 360 + 45, 90.0) - 45);  // from level or upright
      if (from > 30) continue;
      painter.setPen(QPen(QColor(255, 0, 255), std::max(1, image.width() / 1000)));
      painter.drawLine(QPointF(s.x0 * sx, s.y0 * sy), QPointF(s.x1 * sx, s.y1 * sy));
      painter.setPen(QColor(255, 255, 0));
      painter.drawText(QPointF((s.x0 + s.x1) / 2 * sx, (s.y0 + s.y1) / 2 * sy),
                       QString::number(number));
      std::printf("%3d  {%.4f, %.4f, %.4f, %.4f}  %+7.2f\n", number,
                  s.x0 * sx / (image.width() - 1), s.y0 * sy / (image.height() - 1),
                  s.x1 * sx / (image.width() - 1), s.y1 * sy / (image.height() - 1), angle);
      ++number;
    }
    painter.end();
    return image.save(out) ? 0 : 1;
  }
  std::fprintf(stderr, "no photo named %s\n", name.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc == 1) return Measure();
  if (argc == 3) return Candidates(argv[1], QString::fromLocal8Bit(argv[2]));
  std::fprintf(stderr, "usage: measure_photo_level [NAME OUT.png]\n");
  return 2;
}

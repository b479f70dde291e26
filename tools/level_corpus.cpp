#include "tools/level_corpus.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>

namespace level_corpus {

namespace {

constexpr int kWidth = 1200, kHeight = 900;
// Big enough that the picture turned by 12 degrees still covers the frame.
constexpr int kScene = 1500;

// Blurs by scaling down and back up, smoothly.
QImage Blurred(const QImage& image, int by) {
  return image
      .scaled(image.width() / by, image.height() / by, Qt::IgnoreAspectRatio,
              Qt::SmoothTransformation)
      .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage Document(quint32 seed) {
  QImage scene(kScene, kScene, QImage::Format_RGB32);
  scene.fill(QColor(70, 65, 60));  // the scanner's lid
  QPainter p(&scene);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QRect page(150, 100, 1200, 1300);
  p.fillRect(page, QColor(250, 248, 240));
  QFont font("DejaVu Sans");
  font.setPixelSize(20 + static_cast<int>(seed % 3) * 2);
  p.setFont(font);
  p.setPen(QColor(30, 30, 35));
  QRandomGenerator random(seed);
  const char* words[] = {"the",      "picture", "turns", "by",   "any",   "angle",
                         "straight", "line",    "scan",  "page", "level", "horizon",
                         "window",   "program", "of",    "and",  "a",     "degree",
                         "bar",      "to",      "its",   "edge", "with",  "text"};
  const int line = font.pixelSize() * 3 / 2;
  for (int y = page.top() + 90; y < page.bottom() - 80; y += line) {
    if (random.bounded(9) == 0) continue;  // between paragraphs
    QString text;
    while (text.size() < 80) text += QString(words[random.bounded(24)]) + " ";
    p.drawText(QRect(page.left() + 90, y, page.width() - 180, line), Qt::AlignLeft, text);
  }
  return scene;
}

QImage Horizon(quint32 seed) {
  QImage scene(kScene, kScene, QImage::Format_RGB32);
  QRandomGenerator random(seed);
  const int horizon = 600 + static_cast<int>(random.bounded(300));
  QPainter p(&scene);
  QLinearGradient sky(0, 0, 0, horizon);
  sky.setColorAt(0, QColor(90, 140, 200));
  sky.setColorAt(1, QColor(215, 225, 235));
  p.fillRect(0, 0, kScene, horizon, sky);
  QLinearGradient sea(0, horizon, 0, kScene);
  sea.setColorAt(0, QColor(40, 80, 110));
  sea.setColorAt(1, QColor(20, 50, 70));
  p.fillRect(0, horizon, kScene, kScene - horizon, sea);
  // Waves: short light streaks, longer and further apart nearer the viewer.
  for (int i = 0; i < 2500; ++i) {
    const int y = horizon + 4 + static_cast<int>(random.bounded(kScene - horizon));
    const double near = static_cast<double>(y - horizon) / (kScene - horizon);
    const int length = 6 + static_cast<int>(near * 50 * random.generateDouble());
    const int x = static_cast<int>(random.bounded(kScene));
    p.setPen(QPen(QColor(120, 150, 170, 120), 1 + near * 3));
    p.drawLine(x, y, x + length, y);
  }
  // A few clouds.
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 8; ++i) {
    p.setBrush(QColor(240, 240, 245, 150));
    p.drawEllipse(QPointF(random.bounded(kScene), random.bounded(horizon - 100)),
                  80 + random.bounded(160), 20 + random.bounded(40));
  }
  p.end();
  return Blurred(scene, 3);
}

QImage Building(quint32 seed) {
  QImage scene(kScene, kScene, QImage::Format_RGB32);
  QRandomGenerator random(seed);
  QPainter p(&scene);
  p.fillRect(scene.rect(), QColor(150, 185, 220));       // sky
  p.fillRect(0, 1250, kScene, 250, QColor(90, 90, 85));  // the street
  int left = 0;
  while (left < kScene) {
    const int width = 300 + static_cast<int>(random.bounded(300));
    const int top = 150 + static_cast<int>(random.bounded(400));
    const QColor wall = QColor::fromHsv(static_cast<int>(random.bounded(40)),
                                        40 + random.bounded(60), 150 + random.bounded(80));
    p.fillRect(left, top, width, 1250 - top, wall);
    const int floor = 90 + static_cast<int>(random.bounded(30));
    const int bay = 70 + static_cast<int>(random.bounded(30));
    for (int y = top + 40; y + 60 < 1250; y += floor) {
      for (int x = left + 25; x + 45 < left + width; x += bay) {
        p.fillRect(x - 3, y - 3, 46, 66, wall.darker(130));  // the frame
        p.fillRect(x, y, 40, 60, QColor(40, 50, 70));
        p.fillRect(x + 18, y, 4, 60, wall.darker(130));  // the mullion
      }
    }
    left += width + 10;
  }
  p.end();
  return Blurred(scene, 2);
}

QImage Foliage(quint32 seed) {
  QImage scene(kWidth, kHeight, QImage::Format_RGB32);
  scene.fill(QColor(30, 60, 25));
  QRandomGenerator random(seed);
  QPainter p(&scene);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 6000; ++i) {
    p.save();
    p.translate(random.bounded(kWidth), random.bounded(kHeight));
    p.rotate(random.bounded(360.0));
    p.setBrush(QColor(40 + random.bounded(60), 90 + random.bounded(110), 30 + random.bounded(50)));
    p.drawEllipse(QPointF(0, 0), 6 + random.bounded(14), 3 + random.bounded(6));
    p.restore();
  }
  return scene;
}

QImage Clouds(quint32 seed) {
  // Noise at several scales, summed: soft shapes in every direction.
  QImage sum(kWidth, kHeight, QImage::Format_RGB32);
  sum.fill(Qt::black);
  QRandomGenerator random(seed);
  QPainter p(&sum);
  p.setCompositionMode(QPainter::CompositionMode_Plus);
  for (int scale = 8; scale <= 128; scale *= 2) {
    QImage noise(kWidth / scale + 2, kHeight / scale + 2, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
      for (int x = 0; x < noise.width(); ++x) {
        const int v = static_cast<int>(random.bounded(255 * scale / 256 + 1));
        noise.setPixel(x, y, qRgb(v / 2, v / 2, v / 2));
      }
    }
    p.drawImage(QRect(0, 0, kWidth, kHeight),
                noise.scaled(kWidth, kHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
  p.end();
  return sum;
}

QImage Noise(quint32 seed) {
  QImage noise(kWidth, kHeight, QImage::Format_RGB32);
  QRandomGenerator random(seed);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int v = static_cast<int>(random.bounded(256));
      noise.setPixel(x, y, qRgb(v, v, v));
    }
  }
  return Blurred(noise, 2);
}

// The middle of `scene` turned clockwise by `degrees` about its centre.
QImage Turned(const QImage& scene, double degrees) {
  QImage out(kWidth, kHeight, QImage::Format_RGB32);
  out.fill(Qt::black);
  QPainter p(&out);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(kWidth / 2.0, kHeight / 2.0);
  p.rotate(degrees);
  p.drawImage(QPointF(-scene.width() / 2.0, -scene.height() / 2.0), scene);
  return out;
}

std::string Name(const char* kind, double turned) {
  char text[64];
  std::snprintf(text, sizeof text, "%s-%+.1f", kind, turned);
  return text;
}

}  // namespace

std::vector<Sample> Make(unsigned set) {
  double turns[] = {-11.7, -8.3, -5.6, -3.2, -1.4, 0.6, 2.3, 4.9, 7.8, 10.4, 11.9};
  if (set != 0) {
    QRandomGenerator random(set);
    for (double& turn : turns) turn = std::round((random.generateDouble() * 24 - 12) * 10) / 10;
  }
  std::vector<Sample> samples;
  const struct {
    const char* kind;
    QImage (*scene)(quint32);
  } kinds[] = {{"document", Document}, {"horizon", Horizon}, {"building", Building}};
  quint32 seed = 1 + set * 100;
  for (const auto& kind : kinds) {
    for (const double turn : turns) {
      samples.push_back(
          {Name(kind.kind, turn), kind.kind, -turn, Turned(kind.scene(seed++), turn)});
    }
  }
  const struct {
    const char* name;
    QImage (*make)(quint32);
  } plain[] = {{"foliage", Foliage}, {"clouds", Clouds}, {"noise", Noise}};
  for (const auto& kind : plain) {
    for (quint32 i = 0; i < 2; ++i) {
      samples.push_back({std::string(kind.name) + "-" + std::to_string(i + 1), "none", std::nullopt,
                         kind.make(seed++)});
    }
  }
  return samples;
}

}  // namespace level_corpus

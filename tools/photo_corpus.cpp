#include "tools/photo_corpus.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace photo_corpus {

namespace {

constexpr const char* kBackgrounds = "/usr/share/backgrounds/";
constexpr const char* kWallpapers = "/usr/share/wallpapers/";
constexpr const char* kSamples = "/usr/share/doc/opencv-doc/examples/data/";
// The longest side a photo is brought down to first, as a phone's or an editor's export.
constexpr int kLongest = 1600;
constexpr std::array<double, 10> kTurns = {-6.6, -4.1, -2.3, -0.8, 0.6, 1.9, 3.4, 5.2, 6.7, 8.2};

std::string Plasma(const char* name) {
  return std::string(kWallpapers) + name + "/contents/images/2560x1600.jpg";
}

}  // namespace

// Chosen by what they show before any was tried. The own tilts were measured on the
// untilted photos from hand-picked reference lines (a horizon's height at many columns,
// the planks or staff lines, or, for upright lines, the direction of their vanishing
// point from the centre); pictures whose level cannot be told by eye (a storm over a
// curving road, a forest stream, a ridge at sunset) were left out.
const std::vector<Photo>& Photos() {
  static const std::vector<Photo> photos = [] {
    const std::string b = kBackgrounds, s = kSamples;
    const char* mate = "mate-backgrounds";
    const char* lomiri = "lomiri-wallpapers-16.04";
    const char* plasma = "plasma-workspace-wallpapers";
    const char* opencv = "opencv-doc";
    return std::vector<Photo>{
        {"summer1am", "dusk", -0.13, true, Plasma("summer_1am"), plasma},
        {"darkesthour", "dusk", 0.0, false, Plasma("DarkestHour"), plasma},
        {"sea", "dusk", 0.0, true, b + "Infinite-Sea_by_Aury88.jpg", "lomiri-wallpapers-20.04"},
        {"eveningglow", "dusk", 0.2, false, Plasma("EveningGlow"), plasma},
        {"dune", "horizon", -0.42, false, b + "mate/nature/Dune.jpg", mate},
        {"bridge", "horizon", 0.16, false, b + "Bridge_by_Sander_Klootwijk.jpg", lomiri},
        {"coldripple", "pier", 0.03, true, Plasma("ColdRipple"), plasma},
        {"bythewater", "pier", -1.04, false, Plasma("BytheWater"), plasma},
        {"building", "building", -1.57, false, s + "building.jpg", opencv},
        {"home", "building", 0.8, false, s + "home.jpg", opencv},
        {"leuven", "street", -0.4, false, s + "leuvenA.jpg", opencv},
        {"wine", "interior", -1.7, false, b + "Wine_by_Jakkub_Mede.jpg", lomiri},
        {"friends", "building", -0.28, true, b + "friends_by_Aitzol_Berasategi.jpg", lomiri},
        {"path", "trunks", -0.86, false, Plasma("Path"), plasma},
        {"board", "document", 0.02, false, s + "board.jpg", opencv},
        {"page", "document", -9.26, true, s + "imageTextR.png", opencv},
        {"score", "document", -0.08, true, s + "notes.png", opencv},
        {"grey", "diagonal", {}, false, Plasma("Grey"), plasma},
        {"wood", "diagonal", {}, false, b + "mate/nature/Wood.jpg", mate},
        {"blinds", "diagonal", {}, false, b + "mate/nature/Blinds.jpg", mate},
        {"brushes", "diagonal", {}, false, b + "Picture_1A_by_freespace.jpg", lomiri},
        {"dragonfly", "none", {}, false, b + "Dragonfly_by_Bolly.jpg", lomiri},
        {"fig", "none", {}, false, b + "Picture_0B_by_freespace.jpg", lomiri},
        {"pattern", "none", {}, false, b + "analogpattern_by_Peter_Nerlich.jpg", lomiri},
        {"drop", "none", {}, false, b + "mate/nature/Aqua.jpg", mate},
        {"flower", "none", {}, false, b + "mate/nature/FreshFlower.jpg", mate},
        {"garden", "none", {}, false, b + "mate/nature/Garden.jpg", mate},
        {"meadow", "none", {}, false, b + "mate/nature/GreenMeadow.jpg", mate},
        {"ladybird", "none", {}, false, b + "mate/nature/LadyBird.jpg", mate},
        {"raindrops", "none", {}, false, b + "mate/nature/RainDrops.jpg", mate},
        {"twowings", "none", {}, false, b + "mate/nature/TwoWings.jpg", mate},
        {"yellowflower", "none", {}, false, b + "mate/nature/YellowFlower.jpg", mate},
        {"seeding", "none", {}, false, b + "seeding_by_Clements_Engelhardt.jpg", lomiri},
        {"picos", "none", {}, false, b + "picosdeeuropa_by_Aitzol_Berasategi.jpg", lomiri},
        {"aitzgorri", "none", {}, false, b + "aitzgorri_by_Aitzol_Berasategi.jpg", lomiri},
        {"cups", "none", {}, false, Plasma("ColorfulCups"), plasma},
        {"leaf", "none", {}, false, Plasma("FallenLeaf"), plasma},
        {"kite", "none", {}, false, Plasma("Kite"), plasma},
        {"moss", "none", {}, false, Plasma("OneStandsOut"), plasma},
        {"baboon", "none", {}, false, s + "baboon.jpg", opencv},
        {"fruits", "none", {}, false, s + "fruits.jpg", opencv},
        {"stuff", "none", {}, false, s + "stuff.jpg", opencv},
    };
  }();
  return photos;
}

namespace {

// Keys' cubic (a = -0.5): the interpolating bicubic most editors use.
double Cubic(double x) {
  x = std::abs(x);
  if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
  if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
  return 0;
}

}  // namespace

QImage TurnedInside(const QImage& picture, double degrees) {
  const QImage source = picture.convertToFormat(QImage::Format_RGB32);
  const double w = source.width(), h = source.height();
  const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::abs(std::sin(a));
  const double k = std::min(w / (w * c + h * s), h / (w * s + h * c));
  const int cw = static_cast<int>(w * k), ch = static_cast<int>(h * k);
  QImage out(cw, ch, QImage::Format_RGB32);
  const double sn = std::sin(a);
  for (int y = 0; y < ch; ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < cw; ++x) {
      // The output pixel's centre, turned back (counter-clockwise on the screen) into
      // the source about both centres.
      const double ox = x + 0.5 - cw / 2.0, oy = y + 0.5 - ch / 2.0;
      const double sx = c * ox + sn * oy + w / 2 - 0.5, sy = -sn * ox + c * oy + h / 2 - 0.5;
      const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
      double sum[3] = {0, 0, 0};
      for (int j = -1; j <= 2; ++j) {
        const double wy = Cubic(sy - (iy + j));
        const auto* src = reinterpret_cast<const QRgb*>(
            source.constScanLine(std::clamp(iy + j, 0, source.height() - 1)));
        for (int i = -1; i <= 2; ++i) {
          const double wxy = wy * Cubic(sx - (ix + i));
          const QRgb p = src[std::clamp(ix + i, 0, source.width() - 1)];
          sum[0] += wxy * qRed(p), sum[1] += wxy * qGreen(p), sum[2] += wxy * qBlue(p);
        }
      }
      const auto v = [](double d) { return std::clamp(static_cast<int>(std::lround(d)), 0, 255); };
      row[x] = qRgb(v(sum[0]), v(sum[1]), v(sum[2]));
    }
  }
  return out;
}

std::vector<Sample> SamplesOf(size_t index, std::string* missing) {
  const Photo& photo = Photos().at(index);
  QImage image(QString::fromStdString(photo.path));
  if (image.isNull()) {
    if (missing) *missing = photo.package + " (" + photo.path + ")";
    return {};
  }
  image = image.convertToFormat(QImage::Format_RGB32);
  if (photo.name == "score") {
    // A staff cut from its page: put back on one, as it would be printed and scanned.
    QImage page(1024, 768, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(0, 300, image);
    image = page;
  }
  if (std::max(image.width(), image.height()) > kLongest) {
    image = image.scaled(kLongest, kLongest, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  std::vector<double> turns{0.0};
  const size_t count = photo.own_tilt ? 5 : 1;
  for (size_t k = 0; k < count; ++k) turns.push_back(kTurns[(3 * index + 2 * k) % kTurns.size()]);
  std::vector<Sample> samples;
  for (const double turn : turns) {
    Sample sample;
    char name[64];
    std::snprintf(name, sizeof name, "%s%+.1f", photo.name.c_str(), turn);
    sample.name = name;
    sample.kind = photo.kind;
    sample.sure = photo.sure;
    if (photo.own_tilt) sample.tilt = -(*photo.own_tilt + turn);
    QBuffer buffer(&sample.jpeg);
    buffer.open(QIODevice::WriteOnly);
    const QImage turned = turn == 0 ? image : TurnedInside(image, turn);
    turned.save(&buffer, "JPEG", 85 + static_cast<int>(index % 8));
    samples.push_back(std::move(sample));
  }
  return samples;
}

}  // namespace photo_corpus

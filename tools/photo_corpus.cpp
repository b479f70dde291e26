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

namespace {

using reference_lines::Line;

Line Level(double x0, double y0, double x1, double y1) {
  return {Line::kLevel, x0, y0, x1, y1};
}
Line ThinLevel(double x0, double y0, double x1, double y1) {
  return {Line::kLevel, x0, y0, x1, y1, true};
}
Line Upright(double x0, double y0, double x1, double y1) {
  return {Line::kUpright, x0, y0, x1, y1};
}

}  // namespace

// Chosen by what they show before any was tried; pictures whose level cannot be told by
// eye (a storm over a curving road, a forest stream, a ridge at sunset, a tree trunk that
// leans) were left out. Each photo's own level is measured on reference lines chosen by
// eye on the photo at full size (tools/measure_photo_level draws its long segments,
// numbered, as a start) and fitted there to a fraction of a pixel (reference_lines.h):
// level lines only where they face the camera (a sea horizon, a pier's front, text or
// staff lines, the edges of a board or a frame), upright lines (walls, door frames,
// trunks) wherever they stand, since their meeting point gives the level whatever the
// perspective. measure_photo_level prints each line's reading.
const std::vector<Photo>& Photos() {
  static const std::vector<Photo> photos = [] {
    const std::string b = kBackgrounds, s = kSamples;
    const char* mate = "mate-backgrounds";
    const char* lomiri = "lomiri-wallpapers-16.04";
    const char* lomiri20 = "lomiri-wallpapers-20.04";
    const char* plasma = "plasma-workspace-wallpapers";
    const char* opencv = "opencv-doc";
    return std::vector<Photo>{
        {"summer1am",
         "dusk",
         {ThinLevel(0.001, 0.6691, 0.3, 0.6728), ThinLevel(0.3, 0.6721, 0.69, 0.6708),
          ThinLevel(0.69, 0.6711, 0.951, 0.6703)},
         false,
         Plasma("summer_1am"),
         plasma},
        {"darkesthour",
         "dusk",
         {ThinLevel(0.43, 0.6625, 0.575, 0.6625), ThinLevel(0.585, 0.6625, 0.7, 0.6625)},
         false,
         Plasma("DarkestHour"),
         plasma},
        {"sea",
         "dusk",
         {Level(0.005, 0.7036, 0.49, 0.7036), Level(0.51, 0.7036, 0.995, 0.7038)},
         false,
         b + "Infinite-Sea_by_Aury88.jpg",
         lomiri20},
        {"eveningglow",
         "dusk",
         {Level(0.001, 0.3845, 0.3, 0.3854), Level(0.3, 0.3852, 0.62, 0.3884)},
         false,
         Plasma("EveningGlow"),
         plasma},
        {"dune",
         "horizon",
         {Level(0.47, 0.312, 0.62, 0.312), Level(0.72, 0.307, 0.97, 0.307)},
         false,
         b + "mate/nature/Dune.jpg",
         mate},
        {"bridge",
         "horizon",
         {Level(0.036, 0.8424, 0.276, 0.8488), Level(0.5756, 0.8437, 0.6678, 0.8418)},
         false,
         b + "Bridge_by_Sander_Klootwijk.jpg",
         lomiri},
        {"coldripple",
         "pier",
         {Level(0.0005, 0.9518, 0.9989, 0.95), Level(0.0005, 0.9051, 0.9989, 0.904),
          Level(0.0073, 0.8655, 0.9989, 0.8643), Upright(0.4577, 0.5011, 0.4589, 0.4119),
          Upright(0.503, 0.5, 0.503, 0.41)},
         false,
         Plasma("ColdRipple"),
         plasma},
        {"bythewater",
         "pier",
         {Level(0.045, 0.2706, 0.31, 0.2587), Level(0.355, 0.2609, 0.66, 0.2523),
          Level(0.66, 0.2525, 0.8, 0.2487)},
         false,
         Plasma("BytheWater"),
         plasma},
        {"building",
         "building",
         {Upright(0.1735, 0.6124, 0.177, 0.2598), Upright(0.9967, 0.8881, 0.9856, 0.6958),
          Upright(0.6105, 0.8713, 0.6059, 0.6896), Upright(0.4459, 0.8942, 0.4425, 0.7189),
          Upright(0.9302, 0.8877, 0.9213, 0.7251)},
         false,
         s + "building.jpg",
         opencv},
        {"home",
         "building",
         {Upright(0.5758, 0.7131, 0.587, 0.9972), Upright(0.6399, 0.7425, 0.6584, 0.9972),
          Upright(0.6681, 0.7945, 0.6856, 0.9972), Upright(0.932, 0.6288, 0.998, 0.8997),
          Upright(0.9936, 0.9213, 0.9339, 0.6639)},
         false,
         s + "home.jpg",
         opencv},
        {"leuven",
         "street",
         {Upright(0.1692, 0.2725, 0.1644, 0.4705), Upright(0.161, 0.5771, 0.1579, 0.7574),
          Upright(0.4221, 0.5905, 0.4227, 0.4526), Upright(0.655, 0.7485, 0.6525, 0.615),
          Upright(0.6396, 0.6239, 0.642, 0.7351)},
         false,
         s + "leuvenA.jpg",
         opencv},
        {"wine",
         "interior",
         {Upright(0.9151, 0.3095, 0.9081, 0.0004), Upright(0.1574, 0.1519, 0.1724, 0.326),
          Upright(0.9678, 0.153, 0.9649, 0.0435), Upright(0.2884, 0.4434, 0.2831, 0.3386),
          Upright(0.459, 0.2938, 0.4616, 0.2048), Upright(0.8973, 0.0699, 0.8968, 0.1589)},
         false,
         b + "Wine_by_Jakkub_Mede.jpg",
         lomiri},
        {"friends",
         "building",
         {Upright(0.1716, 0.4256, 0.1629, 0.0004), Upright(0.0838, 0.4199, 0.0764, 0.0004),
          Upright(0.2656, 0.2239, 0.2704, 0.5722), Upright(0.2844, 0.0004, 0.2887, 0.2871),
          Upright(0.2826, 0.411, 0.28, 0.1583)},
         false,
         b + "friends_by_Aitzol_Berasategi.jpg",
         lomiri},
        {"path",
         "trunks",
         {Upright(0.7353, 0.3322, 0.7386, 0.473), Upright(0.3207, 0.4964, 0.3181, 0.376),
          Upright(0.8075, 0.462, 0.8074, 0.3463), Upright(0.7505, 0.4339, 0.7504, 0.3275)},
         false,
         Plasma("Path"),
         plasma},
        {"board",
         "document",
         {Upright(0.8578, 0.792, 0.8578, 0.9851), Upright(0.8618, 0.9903, 0.8617, 0.7972),
          Level(0.4411, 0.5493, 0.6054, 0.5493), Level(0.447, 0.5545, 0.6054, 0.5545)},
         false,
         s + "board.jpg",
         opencv},
        {"page",
         "document",
         {Level(0.0166, 0.2592, 0.0981, 0.2362), Level(0.0593, 0.7234, 0.1342, 0.7028),
          Level(0.1676, 0.8733, 0.2377, 0.8535), Level(0.3948, 0.5093, 0.4603, 0.4918),
          Level(0.4696, 0.5264, 0.5347, 0.5086), Level(0.0863, 0.3001, 0.1499, 0.2828),
          Level(0.4021, 0.8418, 0.4632, 0.8254)},
         false,
         s + "imageTextR.png",
         opencv},
        {"score",
         "document",
         {ThinLevel(0.1155, 0.4369, 0.8608, 0.4354), ThinLevel(0.3513, 0.4991, 0.9965, 0.4972)},
         false,
         s + "notes.png",
         opencv},
        {"leuvenb",
         "street",
         {Upright(0.1511, 0.2214, 0.1329, 0.7396), Upright(0.0062, 0.317, 0.0151, 0.1766),
          Upright(0.7362, 0.6151, 0.7322, 0.4971), Upright(0.9938, 0.1124, 0.986, 0.0007),
          Upright(0.9502, 0.4283, 0.9573, 0.3191), Upright(0.5259, 0.6105, 0.5273, 0.7085)},
         true,
         s + "leuvenB.jpg",
         opencv},
        {"basketball",
         "interior",
         {Upright(0.3079, 0.4867, 0.3069, 0.8364), Upright(0.1795, 0.137, 0.1776, 0.2519),
          Upright(0.9818, 0.1162, 0.9812, 0.0013), Upright(0.1643, 0.1944, 0.166, 0.0822),
          Upright(0.0716, 0.5834, 0.0767, 0.7349)},
         true,
         s + "basketball1.png",
         opencv},
        {"starrynight",
         "document",
         {Upright(0.0076, 0.0219, 0.0131, 0.4873), Upright(0.9891, 0.9735, 0.9865, 0.5478),
          Upright(0.0144, 0.7147, 0.0149, 0.9839), Level(0.104, 0.0143, 0.9829, 0.0125),
          Level(0.084, 0.9859, 0.9862, 0.9775)},
         true,
         s + "starry_night.jpg",
         opencv},
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
        {"lamps", "none", {}, true, b + "free_by_Peter_Nerlich.jpg", lomiri},
        {"squirrel", "none", {}, true, s + "squirrel_cls.jpg", opencv},
        {"butterfly", "none", {}, true, s + "butterfly.jpg", opencv},
        {"chick", "none", {}, true, s + "chicky_512.png", opencv},
        {"apple", "none", {}, true, s + "apple.jpg", opencv},
        {"smarties", "none", {}, true, s + "smarties.png", opencv},
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

QImage Original(const Photo& photo) {
  QImage image(QString::fromStdString(photo.path));
  if (image.isNull()) return image;
  image = image.convertToFormat(QImage::Format_RGB32);
  if (photo.name == "score") {
    // A staff cut from its page: put back on one, as it would be printed and scanned.
    QImage page(1024, 768, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(0, 300, image);
    image = page;
  }
  return image;
}

std::vector<Sample> SamplesOf(size_t index, std::string* missing) {
  const Photo& photo = Photos().at(index);
  QImage image = Original(photo);
  if (image.isNull()) {
    if (missing) *missing = photo.package + " (" + photo.path + ")";
    return {};
  }
  std::optional<reference_lines::Level> own;
  if (!photo.references.empty()) own = reference_lines::MeasureLevel(image, photo.references);
  if (std::max(image.width(), image.height()) > kLongest) {
    image = image.scaled(kLongest, kLongest, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  std::vector<double> turns{0.0};
  const size_t count = own ? 5 : 1;
  for (size_t k = 0; k < count; ++k) turns.push_back(kTurns[(3 * index + 2 * k) % kTurns.size()]);
  std::vector<Sample> samples;
  for (const double turn : turns) {
    Sample sample;
    char name[64];
    std::snprintf(name, sizeof name, "%s%+.1f", photo.name.c_str(), turn);
    sample.name = name;
    sample.kind = photo.kind;
    sample.held_out = photo.held_out;
    if (own) {
      sample.tilt = -(own->tilt + turn);
      sample.sure = own->spread <= kSure;
      sample.spread = own->spread;
    }
    QBuffer buffer(&sample.jpeg);
    buffer.open(QIODevice::WriteOnly);
    const QImage turned = turn == 0 ? image : TurnedInside(image, turn);
    turned.save(&buffer, "JPEG", 85 + static_cast<int>(index % 8));
    samples.push_back(std::move(sample));
  }
  return samples;
}

}  // namespace photo_corpus

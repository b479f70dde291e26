// Every kind of picture a person may put in the program's folder as "test.jpg", through
// both programs: the window program (started headless, with the picture beside a copy of
// it) and anyturn-render. Each either loads and turns correctly, or ends with a report
// naming the file and the cause and exit status 1. Every picture is made here.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "tests/support/test_support.h"

namespace {

// A picture with four plain quarters (red, green, blue, white), large enough for JPEG.
QImage Quarters(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      image.setPixel(x, y,
                     !right && !bottom  ? qRgb(220, 20, 20)
                     : right && !bottom ? qRgb(20, 200, 20)
                     : !right           ? qRgb(20, 20, 220)
                                        : qRgb(250, 250, 250));
    }
  }
  return image;
}

// A GIF of 8-bit palette indices, written with a clear code every 254 pixels so that the
// codes never grow past 9 bits: a valid if uncompressed file.
QByteArray Gif(const QImage& indexed) {
  QByteArray out("GIF89a");
  auto word = [&](int v) {
    out.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8));
  };
  word(indexed.width());
  word(indexed.height());
  out.append(static_cast<char>(0xF7)).append('\0').append('\0');  // 256-colour global table
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < indexed.colorCount() ? indexed.color(i) : 0;
    out.append(static_cast<char>(qRed(c)))
        .append(static_cast<char>(qGreen(c)))
        .append(static_cast<char>(qBlue(c)));
  }
  out.append(',');
  word(0);
  word(0);
  word(indexed.width());
  word(indexed.height());
  out.append('\0').append('\x08');
  QByteArray codes;
  uint32_t bits = 0;
  int count = 0;
  auto put = [&](int code) {
    bits |= static_cast<uint32_t>(code) << count;
    for (count += 9; count >= 8; count -= 8, bits >>= 8)
      codes.append(static_cast<char>(bits & 0xFF));
  };
  int since_clear = 254;
  for (int y = 0; y < indexed.height(); ++y) {
    for (int x = 0; x < indexed.width(); ++x) {
      if (since_clear == 254) {
        put(256);
        since_clear = 0;
      }
      put(indexed.pixelIndex(x, y));
      ++since_clear;
    }
  }
  put(257);
  if (count > 0) codes.append(static_cast<char>(bits & 0xFF));
  for (int at = 0; at < codes.size(); at += 255) {
    const QByteArray block = codes.mid(at, 255);
    out.append(static_cast<char>(block.size())).append(block);
  }
  out.append('\0').append(';');
  return out;
}

uint32_t Crc32(const QByteArray& bytes) {
  return testing_support::Crc32(bytes.toStdString());
}

QImage Indexed(const QImage& image) {
  return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

Outcome RunProgram(const QString& program, const QStringList& arguments,
                   const QStringList& prefix = {}) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  process.setProcessEnvironment(environment);
  if (prefix.isEmpty()) {
    process.start(program, arguments);
  } else {
    process.start(prefix.first(), prefix.mid(1) + QStringList{program} + arguments);
  }
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    return {-1, "", "timed out"};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
          process.readAllStandardOutput().toStdString(),
          process.readAllStandardError().toStdString()};
}

// A folder holding copies of both programs and, once a case has made it, test.jpg: an
// unprivileged user can run them there even when the build lies in a private folder.
class Folder {
 public:
  Folder() {
    dir_.setAutoRemove(true);
    QFile::copy(ANYTURN_BINARY, program());
    QFile::copy(ANYTURN_RENDER, renderer());
    for (const QString& copy : {program(), renderer()}) {
      QFile(copy).setPermissions(QFile::ExeOwner | QFile::ReadOwner | QFile::ExeOther |
                                 QFile::ReadOther | QFile::ExeGroup | QFile::ReadGroup);
    }
    // Readable by the unprivileged user one case runs as.
    std::filesystem::permissions(
        dir_.path().toStdString(),
        std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
            std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
            std::filesystem::perms::others_exec);
  }
  QString program() const { return dir_.filePath("anyturn"); }
  QString renderer() const { return dir_.filePath("anyturn-render"); }
  std::string picture() const { return dir_.filePath("test.jpg").toStdString(); }

 private:
  QTemporaryDir dir_;
};

struct Case {
  const char* name;
  std::function<void(const std::string& path)> make;
  // For a picture that must load: checks the turn at 0 degrees (the picture itself as
  // the window shows it) and at 30. Empty for one that must be refused.
  std::function<void(const QImage& at0, const QImage& at30)> check;
  int error = 0;                // Run-time error number of the report when refused
  const char* cause = nullptr;  // and words of its cause
  bool unprivileged = false;    // run as an unprivileged user (root reads everything)
  QStringList limit = {};       // a command that limits the process, e.g. prlimit
};

void Save(const QImage& image, const std::string& path, const char* format, int quality = 95) {
  QImageWriter writer(QString::fromStdString(path), format);
  writer.setQuality(quality);
  ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();
}

void WriteBytes(const std::string& path, const QByteArray& bytes) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int Distance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// Quarters(w, h) shown upright: each quarter's centre within `tolerance` of its colour.
void ExpectQuarters(const QImage& image, int tolerance) {
  const QImage expected = Quarters(image.width(), image.height());
  for (const QPoint p : {QPoint(image.width() / 4, image.height() / 4),
                         QPoint(3 * image.width() / 4, image.height() / 4),
                         QPoint(image.width() / 4, 3 * image.height() / 4),
                         QPoint(3 * image.width() / 4, 3 * image.height() / 4)}) {
    EXPECT_LE(Distance(image.pixel(p), expected.pixel(p)), tolerance)
        << "at " << p.x() << "," << p.y() << ": " << std::hex << image.pixel(p) << " for "
        << expected.pixel(p);
  }
}

// A turn by 30 degrees of a picture of size w x h has the turned bounds, less a pixel.
void ExpectTurnedSize(const QImage& at30, int w, int h) {
  const double r = 3.1415926 / 6;
  const int bw = static_cast<int>(std::lround(w * std::cos(r) + h * std::sin(r)));
  const int bh = static_cast<int>(std::lround(w * std::sin(r) + h * std::cos(r)));
  EXPECT_NEAR(at30.width(), bw - 1, 2);
  EXPECT_NEAR(at30.height(), bh - 1, 2);
}

void ExpectExactly(const QImage& at0, const QImage& original) {
  ASSERT_EQ(at0.size(), original.size());
  const QImage a = at0.convertToFormat(QImage::Format_RGB32),
               b = original.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x)
      ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << "at " << x << "," << y;
  }
}

// The picture that orientation tag `t` asks to show: mirrored or flipped first, then
// turned a quarter clockwise, as every viewer applies the tag.
QImage Oriented(const QImage& image, QImageIOHandler::Transformations t) {
  if (t == QImageIOHandler::TransformationRotate270)
    return image.transformed(QTransform(0, -1, 1, 0, 0, 0));
  QImage out = image.mirrored(t & QImageIOHandler::TransformationMirror,
                              t & QImageIOHandler::TransformationFlip);
  if (t & QImageIOHandler::TransformationRotate90)
    out = out.transformed(QTransform(0, 1, -1, 0, 0, 0));
  return out;
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const QImage quarters = Quarters(64, 48);
  for (const char* format : {"PNG", "BMP", "PPM"}) {
    cases.push_back({format, [=](const std::string& p) { Save(quarters, p, format); },
                     [=](const QImage& at0, const QImage& at30) {
                       ExpectExactly(at0, quarters);
                       ExpectTurnedSize(at30, 64, 48);
                     }});
  }
  cases.push_back(
      {"paletted GIF", [=](const std::string& p) { WriteBytes(p, Gif(Indexed(quarters))); },
       [=](const QImage& at0, const QImage&) { ExpectExactly(at0, Indexed(quarters)); }});
  cases.push_back(
      {"paletted PNG", [=](const std::string& p) { Save(Indexed(quarters), p, "PNG"); },
       [=](const QImage& at0, const QImage&) { ExpectExactly(at0, Indexed(quarters)); }});
  cases.push_back({"16-bit PNG",
                   [=](const std::string& p) {
                     Save(quarters.convertToFormat(QImage::Format_RGBA64), p, "PNG");
                   },
                   [=](const QImage& at0, const QImage&) { ExpectExactly(at0, quarters); }});
  cases.push_back({"greyscale JPEG",
                   [=](const std::string& p) {
                     Save(quarters.convertToFormat(QImage::Format_Grayscale8), p, "JPEG");
                   },
                   [=](const QImage& at0, const QImage&) {
                     const QImage grey = quarters.convertToFormat(QImage::Format_Grayscale8);
                     for (const QPoint q : {QPoint(16, 12), QPoint(48, 36)}) {
                       EXPECT_EQ(qRed(at0.pixel(q)), qGreen(at0.pixel(q)));
                       EXPECT_LE(Distance(at0.pixel(q), grey.pixel(q)), 6);
                     }
                   }});
  cases.push_back({"CMYK JPEG",
                   [=](const std::string& p) {
                     // ImageMagick writes the CMYK file, as a prepress program would.
                     const std::string rgb = p + ".png";
                     Save(quarters, rgb, "PNG");
                     ASSERT_EQ(RunProgram("convert", {QString::fromStdString(rgb), "-colorspace",
                                                      "CMYK", QString::fromStdString("jpeg:" + p)})
                                   .exit_code,
                               0);
                   },
                   [=](const QImage& at0, const QImage&) { ExpectQuarters(at0, 40); }});
  cases.push_back({"transparent PNG",
                   [](const std::string& p) {
                     QImage image(60, 40, QImage::Format_ARGB32);
                     image.fill(qRgba(200, 40, 40, 128));
                     Save(image, p, "PNG");
                   },
                   [](const QImage& at0, const QImage& at30) {
                     // Half-transparent red over the surface's back colour: one colour at 0.
                     const QRgb shown = at0.pixel(30, 20);
                     EXPECT_GT(qRed(shown), qGreen(shown) + 40);
                     EXPECT_GT(qGreen(shown), 40);  // the back colour shows through
                     EXPECT_EQ(at0.pixel(0, 0), shown);
                     // Turned over black, each pixel is that colour scaled by its coverage:
                     // a darker or lighter rim would break the channels' proportions.
                     for (int y = 0; y < at30.height(); ++y) {
                       for (int x = 0; x < at30.width(); ++x) {
                         const QRgb p = at30.pixel(x, y);
                         const double k = qRed(p) / static_cast<double>(qRed(shown));
                         ASSERT_LE(k, 1.0 + 1e-9) << x << "," << y;
                         ASSERT_NEAR(qGreen(p), k * qGreen(shown), 2.5) << x << "," << y;
                         ASSERT_NEAR(qBlue(p), k * qBlue(shown), 2.5) << x << "," << y;
                       }
                     }
                   }});
  for (const QSize size : {QSize(1, 1), QSize(1, 4000), QSize(4000, 1)}) {
    const QImage strip = Quarters(size.width(), size.height());
    cases.push_back({size == QSize(1, 1) ? "1 x 1"
                     : size.width() == 1 ? "1 x 4000"
                                         : "4000 x 1",
                     [=](const std::string& p) { Save(strip, p, "PNG"); },
                     [=](const QImage& at0, const QImage& at30) {
                       ExpectExactly(at0, strip);
                       // Turned bounds less a pixel: nothing left of 1 x 1, and no file.
                       EXPECT_EQ(at30.isNull(), size == QSize(1, 1));
                     }});
  }
  using T = QImageIOHandler;
  const std::pair<const char*, T::Transformations> tags[] = {
      {"orientation 1", T::TransformationNone},
      {"orientation 2", T::TransformationMirror},
      {"orientation 3", T::TransformationRotate180},
      {"orientation 4", T::TransformationFlip},
      {"orientation 5", T::TransformationFlipAndRotate90},
      {"orientation 6", T::TransformationRotate90},
      {"orientation 7", T::TransformationMirrorAndRotate90},
      {"orientation 8", T::TransformationRotate270}};
  for (const auto& [name, tag] : tags) {
    // Stored sideways or mirrored, tagged so that it shows as Quarters(64, 48) upright.
    static const T::Transformations all[] = {T::TransformationNone,
                                             T::TransformationMirror,
                                             T::TransformationFlip,
                                             T::TransformationRotate180,
                                             T::TransformationRotate90,
                                             T::TransformationMirrorAndRotate90,
                                             T::TransformationFlipAndRotate90,
                                             T::TransformationRotate270};
    QImage stored;
    for (const auto placement : all) {
      if (Oriented(Oriented(quarters, placement), tag) == quarters)
        stored = Oriented(quarters, placement);
    }
    cases.push_back({name,
                     [=](const std::string& p) {
                       QImageWriter writer(QString::fromStdString(p), "jpeg");
                       writer.setQuality(95);
                       writer.setTransformation(tag);
                       ASSERT_TRUE(writer.write(stored));
                     },
                     [=](const QImage& at0, const QImage&) {
                       EXPECT_EQ(at0.size(), quarters.size());
                       ExpectQuarters(at0, 24);
                     }});
  }

  // Refused, each with its report.
  const QByteArray jpeg = [&] {
    QTemporaryDir d;
    Save(Quarters(256, 256), d.filePath("a.jpg").toStdString(), "JPEG");
    return ReadBytes(d.filePath("a.jpg"));
  }();
  const QByteArray png = [&] {
    QTemporaryDir d;
    Save(Quarters(256, 256), d.filePath("a.png").toStdString(), "PNG");
    return ReadBytes(d.filePath("a.png"));
  }();
  cases.push_back(
      {"empty file", [](const std::string& p) { WriteBytes(p, {}); }, {}, 481, "Invalid picture"});
  cases.push_back({"truncated JPEG",
                   [=](const std::string& p) { WriteBytes(p, jpeg.left(jpeg.size() / 3)); },
                   {},
                   481,
                   "Invalid picture"});
  cases.push_back({"truncated PNG",
                   [=](const std::string& p) { WriteBytes(p, png.left(png.size() / 3)); },
                   {},
                   481,
                   "Invalid picture"});
  cases.push_back({"random bytes",
                   [](const std::string& p) {
                     QByteArray bytes;
                     uint32_t state = 12345;
                     for (int i = 0; i < 4096; ++i)
                       bytes.append(static_cast<char>((state = state * 1103515245 + 12345) >> 24));
                     WriteBytes(p, bytes);
                   },
                   {},
                   481,
                   "Invalid picture"});
  cases.push_back({"a folder",
                   [](const std::string& p) { std::filesystem::create_directory(p); },
                   {},
                   75,
                   "Path/File access error"});
  cases.push_back({"unreadable file",
                   [=](const std::string& p) {
                     Save(quarters, p, "PNG");
                     std::filesystem::permissions(p, std::filesystem::perms::none);
                   },
                   {},
                   75,
                   "cannot be read",
                   true});
  cases.push_back({"header claiming 60000 x 60000",
                   [](const std::string& p) {
                     // A PNG header with a tiny body: refused before anything that size exists.
                     QImage image(1, 1, QImage::Format_RGB32);
                     image.fill(Qt::red);
                     Save(image, p, "PNG");
                     QByteArray bytes = ReadBytes(QString::fromStdString(p));
                     const char side[4] = {0, 0, static_cast<char>(0xEA), 0x60};  // 60000
                     bytes.replace(16, 4, QByteArray(side, 4)).replace(20, 4, QByteArray(side, 4));
                     const uint32_t crc = Crc32(bytes.mid(12, 17));  // "IHDR" and its 13 bytes
                     for (int i = 0; i < 4; ++i)
                       bytes[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
                     WriteBytes(p, bytes);
                   },
                   {},
                   7,
                   "Out of memory"});
#if !defined(__SANITIZE_ADDRESS__)
  // The address space is limited so that the picture (80 MB a surface) loads and shows,
  // while its turn by 45 degrees (880 MB for the target, were it held whole) cannot have
  // what it needs: the report says how much, and nothing that size is allocated. (Saved,
  // the turn is worked out strip by strip, so the limit lies below one such surface.) Sanitizers reserve
  // address space of their own, so this runs in the plain build only.
  cases.push_back({"turn beyond the memory the process may have",
                   [](const std::string& p) { Save(Quarters(20000, 1000), p, "PNG"); },
                   {},
                   7,
                   "needs 8",
                   false,
                   QStringList{"prlimit", "--as=900000000", "--"}});
#endif
  return cases;
}

TEST(PicturesBothPrograms, LoadAndTurnOrAreRefusedWithAReport) {
  const bool root = geteuid() == 0;
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    if (c.unprivileged && !root) continue;  // a non-root user cannot read it either way
    Folder folder;
    c.make(folder.picture());
    if (testing::Test::HasFatalFailure()) return;
    const QStringList as_nobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const QStringList prefix = c.unprivileged ? as_nobody : c.limit;
    const QString picture = QString::fromStdString(folder.picture());
    const QString angle = c.limit.isEmpty() ? "30" : "45";
    QTemporaryDir out;
    const QString render = folder.renderer();
    const Outcome render0 =
        RunProgram(render, {picture, "--angle", "0", "--out", out.filePath("0.png")}, prefix);
    const Outcome render30 =
        RunProgram(render, {picture, "--angle", angle, "--out", out.filePath("30.png")}, prefix);
    if (c.check) {
      ASSERT_EQ(render0.exit_code, 0) << render0.err;
      ASSERT_EQ(render30.exit_code, 0) << render30.err;
      c.check(QImage(out.filePath("0.png")), QImage(out.filePath("30.png")));
    } else {
      const std::string report = "Run-time error " + std::to_string(c.error) + ": ";
      // Under a memory limit the picture itself still shows: only its turn is refused.
      for (const Outcome* o : {&render0, &render30}) {
        if (c.limit.isEmpty() || o == &render30) {
          EXPECT_EQ(o->exit_code, 1) << o->err;
          EXPECT_NE(o->err.find(report), std::string::npos) << o->err;
          EXPECT_NE(o->err.find(c.cause), std::string::npos) << o->err;
          EXPECT_NE(o->err.find(c.limit.isEmpty() ? folder.picture() : "pDes"), std::string::npos)
              << o->err;
        } else {
          EXPECT_EQ(o->exit_code, 0) << o->err;
        }
      }
    }
    // The window program: a refused picture ends it at start-up with the same report;
    // a good one leaves it running (it is stopped after a moment).
    if (c.check || !c.limit.isEmpty()) {
      QProcess window;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("QT_QPA_PLATFORM", "offscreen");
      window.setProcessEnvironment(environment);
      window.start(folder.program(), {});
      ASSERT_TRUE(window.waitForStarted());
      EXPECT_FALSE(window.waitForFinished(1500)) << window.readAllStandardError().toStdString();
      window.kill();
      window.waitForFinished();
    } else {
      const Outcome shown = RunProgram(folder.program(), {}, prefix);
      EXPECT_EQ(shown.exit_code, 1) << shown.err;
      EXPECT_NE(shown.err.find("Run-time error " + std::to_string(c.error) + ": "),
                std::string::npos)
          << shown.err;
      EXPECT_NE(shown.err.find(folder.picture()), std::string::npos) << shown.err;
    }
  }
}

}  // namespace

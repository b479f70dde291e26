// Every format the program reads, made by the tests themselves and compared with another
// decoder's pixels; colour profiles compared with ImageMagick's conversion (lcms2).
#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/base/error.h"
#include "platform/imageio/picture.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/test_support.h"

namespace {

using platform::ErrorNumber;

using testing_support::RunTool;

// An opaque picture with smooth areas and edges, as photos have.
QImage Scene(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool block = (x / 8 + y / 8) % 2 == 0;
      image.setPixel(x, y, qRgb(x * 255 / width, block ? 200 : 40, y * 255 / height));
    }
  }
  return image;
}

std::string Save(const QImage& image, const std::string& name, const char* format,
                 int quality = -1) {
  const std::string path = testing_support::TempDir() + "/" + name;
  QImageWriter writer(QString::fromStdString(path), format);
  if (quality >= 0) writer.setQuality(quality);
  EXPECT_TRUE(writer.write(image)) << name << ": " << writer.errorString().toStdString();
  return path;
}

// libheif's own command line reading of a HEIC or AVIF file.
QImage HeifReference(const std::string& path) {
  const QString out = QString::fromStdString(testing_support::TempDir() + "/reference.png");
  RunTool("heif-convert", {QString::fromStdString(path), out});
  return QImage(out).convertToFormat(QImage::Format_ARGB32);
}

// ImageMagick's reading of `path` (with `arguments` applied), as 8-bit sRGB pixels.
QImage Reference(const std::string& path, const QStringList& arguments = {}) {
  const QString out = QString::fromStdString(testing_support::TempDir() + "/reference.png");
  RunTool("convert", QStringList{QString::fromStdString(path) + "[0]"} + arguments +
                         QStringList{"-depth", "8", "PNG32:" + out});
  return QImage(out).convertToFormat(QImage::Format_ARGB32);
}

// The largest difference of a channel between the loaded picture and `expected`.
int Difference(const platform::Picture& loaded, const QImage& expected) {
  EXPECT_EQ(loaded.WidthPixels(), expected.width());
  EXPECT_EQ(loaded.HeightPixels(), expected.height());
  if (loaded.WidthPixels() != expected.width() || loaded.HeightPixels() != expected.height()) {
    return 256;
  }
  int worst = 0;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      const uint32_t got = loaded.pixels().at(x, y);
      const QRgb want = qPremultiply(expected.pixel(x, y));
      for (int shift = 0; shift < 32; shift += 8) {
        worst = std::max(worst, std::abs(static_cast<int>((got >> shift) & 255) -
                                         static_cast<int>((want >> shift) & 255)));
      }
    }
  }
  return worst;
}

TEST(Formats, EachIsReadAsAnotherDecoderReadsIt) {
  const QImage scene = Scene(96, 64);
  const std::string png = Save(scene, "scene.png", "PNG");
  const struct {
    const char* what;
    std::function<std::string()> make;
    int tolerance;
  } cases[] = {
      {"PNG", [&] { return png; }, 0},
      {"JPEG", [&] { return Save(scene, "scene.jpg", "JPEG", 90); }, 0},
      {"BMP", [&] { return Save(scene, "scene.bmp", "BMP"); }, 0},
      {"TIFF", [&] { return Save(scene, "scene.tif", "TIFF"); }, 0},
      {"WebP", [&] { return Save(scene, "scene.webp", "WEBP", 100); }, 0},
      {"GIF",
       [&] {
         const std::string path = testing_support::TempDir() + "/scene.gif";
         RunTool("convert", {QString::fromStdString(png), QString::fromStdString(path)});
         return path;
       },
       0},
      {"HEIC",
       [&] {
         const std::string path = testing_support::TempDir() + "/scene.heic";
         RunTool("heif-enc",
                 {"-q", "90", "-o", QString::fromStdString(path), QString::fromStdString(png)});
         return path;
       },
       0},
      {"AVIF",
       [&] {
         const std::string path = testing_support::TempDir() + "/scene.avif";
         RunTool("heif-enc", {"-A", "-q", "90", "-o", QString::fromStdString(path),
                              QString::fromStdString(png)});
         return path;
       },
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.make();
    // Read under a name that says nothing: the content decides.
    const std::string renamed = path + ".picture";
    std::filesystem::copy_file(path, renamed);
    const platform::Picture loaded = platform::LoadPicture(renamed);
    const bool heif = path.ends_with(".heic") || path.ends_with(".avif");
    EXPECT_LE(Difference(loaded, heif ? HeifReference(path) : Reference(path)), c.tolerance);
  }
}

// Pages and frames after the first are not shown.
TEST(Formats, AMultiPageTiffAndAnAnimationShowTheirFirstPicture) {
  const std::string folder = testing_support::TempDir();
  const QString red = QString::fromStdString(folder + "/red.png");
  const QString blue = QString::fromStdString(folder + "/blue.png");
  RunTool("convert", {"-size", "6x4", "xc:red", red});
  RunTool("convert", {"-size", "6x4", "xc:blue", blue});
  for (const char* name : {"pages.tif", "frames.gif"}) {
    SCOPED_TRACE(name);
    const std::string path = folder + "/" + name;
    RunTool("convert", {red, blue, QString::fromStdString(path)});
    const platform::Picture loaded = platform::LoadPicture(path);
    ASSERT_EQ(loaded.WidthPixels(), 6);
    EXPECT_EQ(loaded.pixels().at(3, 2), 0xFFFF0000u);
  }
}

// Wide-gamut and other profiles are shown as colour-managed viewers show them: converted
// to sRGB, as lcms2 does through ImageMagick.
TEST(Formats, APictureWithAProfileIsShownInSrgb) {
  QImage scene = Scene(64, 48);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) scene.setPixel(x, y, qRgb(220, 30, 40));  // a block, for JPEG
  }
  const std::string srgb_profile = testing_support::TempDir() + "/sRGB.icc";
  std::ofstream(srgb_profile, std::ios::binary)
      << QColorSpace(QColorSpace::SRgb).iccProfile().toStdString();
  const struct {
    const char* what;
    QColorSpace space;
    const char* format;
  } cases[] = {
      {"Adobe RGB JPEG", QColorSpace(QColorSpace::AdobeRgb), "JPEG"},
      {"Adobe RGB PNG", QColorSpace(QColorSpace::AdobeRgb), "PNG"},
      {"Display P3 JPEG", QColorSpace(QColorSpace::DisplayP3), "JPEG"},
      {"ProPhoto PNG", QColorSpace(QColorSpace::ProPhotoRgb), "PNG"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QImage tagged = scene;
    tagged.setColorSpace(c.space);
    const std::string path = Save(tagged, "tagged", c.format, 95);
    const platform::Picture loaded = platform::LoadPicture(path);
    const QImage expected = Reference(path, {"-profile", QString::fromStdString(srgb_profile)});
    EXPECT_LE(Difference(loaded, expected), 2);
    // Not shown as if it were sRGB: the red is redder than its numbers.
    const uint32_t red = loaded.pixels().at(4, 4);
    EXPECT_GT((red >> 16) & 255, 230u) << std::hex << red;
  }
}

// CMYK (from print) and grey JPEGs, without a profile, as ImageMagick shows them.
TEST(Formats, CmykAndGreyJpegsAreShownInRgb) {
  const std::string png = Save(Scene(40, 30), "scene.png", "PNG");
  for (const char* space : {"CMYK", "Gray"}) {
    SCOPED_TRACE(space);
    const std::string path = testing_support::TempDir() + "/" + space + ".jpg";
    RunTool("convert", {QString::fromStdString(png), "-colorspace", space, "-quality", "95",
                        QString::fromStdString(path)});
    const platform::Picture loaded = platform::LoadPicture(path);
    EXPECT_LE(Difference(loaded, Reference(path, {"-colorspace", "sRGB"})), 2);
  }
}

// A JPEG's bytes with an EXIF block saying `orientation` put in after its start marker.
std::string WithOrientation(const std::string& jpeg, int orientation) {
  const char tiff[] = {'I',
                       'I',
                       42,
                       0,
                       8,
                       0,
                       0,
                       0,  // header, first directory
                       1,
                       0,  // one entry:
                       0x12,
                       0x01,
                       3,
                       0,
                       1,
                       0,
                       0,
                       0,  // orientation, SHORT, 1
                       static_cast<char>(orientation),
                       0,
                       0,
                       0,  // its value
                       0,
                       0,
                       0,
                       0};  // no next directory
  const std::string payload = std::string("Exif\0\0", 6) + std::string(tiff, sizeof tiff);
  const size_t length = payload.size() + 2;
  const std::string segment = std::string("\xFF\xE1") + static_cast<char>(length >> 8) +
                              static_cast<char>(length & 255) + payload;
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

// EXIF orientation 1 to 8, as ImageMagick turns it upright.
TEST(Formats, EveryOrientationTagIsObeyed) {
  const std::string plain = Save(Scene(24, 16), "plain.jpg", "JPEG", 100);
  std::ifstream in(plain, std::ios::binary);
  const std::string jpeg(std::istreambuf_iterator<char>(in), {});
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    const std::string path = testing_support::TempDir() + "/oriented.jpg";
    std::ofstream(path, std::ios::binary) << WithOrientation(jpeg, orientation);
    const platform::Picture loaded = platform::LoadPicture(path);
    EXPECT_EQ(loaded.WidthPixels(), orientation >= 5 ? 16 : 24);
    EXPECT_LE(Difference(loaded, Reference(path, {"-auto-orient"})), 1);
  }
}

// The file's name reaches the file system as its bytes, whatever their encoding, and a
// report shows it readably.
TEST(Formats, ANameThatIsNotUtf8IsReadAndReportedReadably) {
  const std::string folder = testing_support::TempDir();
  const std::string latin1 = folder + "/caf\xE9 photo.png";
  const QImage scene = Scene(9, 5);
  ASSERT_TRUE(scene.save(QString::fromStdString(folder + "/plain.png")));
  std::filesystem::copy_file(folder + "/plain.png", latin1);
  EXPECT_EQ(platform::LoadPicture(latin1).WidthPixels(), 9);
  try {
    platform::LoadPicture(folder + "/th\xE9 missing.png");
    ADD_FAILURE() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.number(), ErrorNumber::kFileNotFound);
    EXPECT_NE(std::string(e.what()).find("th\\xE9 missing.png"), std::string::npos) << e.what();
  }
}

// A JPEG whose data ends early is refused, not shown half grey.
// A large JPEG coded in one scan is decoded by two decoders at once, the lower one from a
// row it reaches by passing over the rows above: each sampling of colour, a height that
// is not whole blocks, grey, and a real photo, each exactly as another decoder reads it;
// and damage above or below where the two meet is refused as on one thread.
TEST(Formats, ALargeJpegDecodedOnTwoThreadsIsReadAsAnotherDecoderReadsIt) {
  const std::string png = Save(Scene(1601, 1333), "large.png", "PNG");
  const std::string photo_source = "/usr/share/backgrounds/Bridge_by_Sander_Klootwijk.jpg";
  const struct {
    const char* what;
    std::string source;
    QStringList arguments;
  } cases[] = {
      {"4:2:0", png, {"-sampling-factor", "2x2", "-quality", "90"}},
      {"4:2:2", png, {"-sampling-factor", "2x1", "-quality", "85"}},
      {"4:4:4", png, {"-sampling-factor", "1x1", "-quality", "95"}},
      {"grey", png, {"-colorspace", "Gray", "-quality", "90"}},
      {"photo",
       photo_source,
       {"-resize", "2000x1500!", "-sampling-factor", "2x2", "-quality", "92"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(std::filesystem::exists(c.source)) << "apt-get install lomiri-wallpapers-16.04";
    const std::string path = testing_support::TempDir() + "/large.jpg";
    ASSERT_TRUE(
        RunTool("convert", QStringList{QString::fromStdString(c.source)} + c.arguments +
                               QStringList{"-interlace", "none", QString::fromStdString(path)}));
    EXPECT_EQ(Difference(platform::LoadPicture(path), Reference(path)), 0);
  }
  const std::string path = testing_support::TempDir() + "/large.jpg";
  ASSERT_TRUE(RunTool(
      "convert", {QString::fromStdString(png), "-quality", "90", QString::fromStdString(path)}));
  std::ifstream in(path, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  const size_t scan = bytes.rfind("\xFF\xDA");
  for (const double at : {0.1, 0.95}) {
    SCOPED_TRACE(at);
    std::string damaged = bytes;
    const auto from = static_cast<size_t>(scan + at * (bytes.size() - scan));
    for (size_t i = from; i < from + 400 && i + 2 < bytes.size(); i += 7) damaged[i] = '\xFF';
    const std::string bad = testing_support::TempDir() + "/damaged.jpg";
    std::ofstream(bad, std::ios::binary) << damaged;
    try {
      platform::LoadPicture(bad);
      ADD_FAILURE() << "taken for a picture";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), ErrorNumber::kInvalidPicture) << e.what();
      EXPECT_NE(std::string(e.what()).find("damaged or ends early"), std::string::npos) << e.what();
    }
  }
}

TEST(Formats, AJpegCutShortIsRefused) {
  const std::string path = Save(Scene(256, 256), "whole.jpg", "JPEG", 90);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  for (const size_t keep : {bytes.size() / 3, bytes.size() - 100}) {
    SCOPED_TRACE(keep);
    const std::string cut = testing_support::TempDir() + "/cut.jpg";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, keep);
    try {
      platform::LoadPicture(cut);
      ADD_FAILURE() << "no error";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), ErrorNumber::kInvalidPicture) << e.what();
      EXPECT_NE(std::string(e.what()).find("ends early"), std::string::npos) << e.what();
      EXPECT_EQ(e.path(), cut);
    }
  }
}

std::string Written(const QByteArray& bytes, const std::string& name) {
  const std::string path = testing_support::TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
  return path;
}

// Damaged and hostile JPEGs are refused as damaged, before they cost what a whole picture
// of their claimed size would: a 700-byte file claiming 16000 x 16000 pixels used to be
// taken, at 6 GB, as a grey picture of that size.
TEST(Formats, DamagedAndHostileJpegsAreRefused) {
  const QByteArray good = hostile::Encoded(hostile::Scene(256, 192), "JPEG", 90);
  // Bytes inside the entropy-coded data, flipped: bad Huffman codes and stray markers.
  QByteArray scrambled = good;
  const qsizetype scan = good.lastIndexOf(QByteArray("\xFF\xDA", 2));
  for (qsizetype at = scan + 40; at < good.size() - 10; at += 97) scrambled[at] = '\xFF';
  const struct {
    const char* name;
    QByteArray bytes;
    const char* says;
  } cases[] = {
      {"patched header", hostile::PatchedHeaderJpeg(16000, 16000), "damaged or ends early"},
      {"scrambled data", scrambled, "damaged or ends early"},
      {"1000 repeated scans", hostile::RepeatedScanJpeg(4000, 3000, 1000), "more than 500 scans"},
  };
  for (const auto& c : cases) {
    const std::string path = Written(c.bytes, "hostile.jpg");
    try {
      platform::LoadPicture(path);
      ADD_FAILURE() << c.name << ": taken for a picture";
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), ErrorNumber::kInvalidPicture) << c.name << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_EQ(e.path(), path);
    }
  }
  // A progressive picture of ordinary make is not one of them.
  EXPECT_EQ(
      platform::LoadPicture(Written(hostile::RepeatedScanJpeg(300, 200, 0), "p.jpg")).WidthPixels(),
      300);
}

// PNG's eXIf and WebP's EXIF chunk say which way up, as a JPEG's EXIF does; a viewer
// that obeys them shows the picture upright, and so must the program, or its output
// (stamped upright) would show sideways there.
TEST(Formats, PngAndWebpObeyTheirOrientation) {
  QImage stored(6, 4, QImage::Format_ARGB32);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) stored.setPixel(x, y, qRgba(x * 40, y * 60, 90, 255 - x * 30));
  }
  // Orientation 6: stored a quarter turn anticlockwise; upright, pixel (x, y) is stored
  // at (y, height - 1 - x).
  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"turned.png", hostile::PngWithOrientation(stored, 6)},
      {"turned.webp", hostile::WebpWithOrientation(stored, 6)},
  };
  for (const auto& c : cases) {
    const platform::Picture loaded = platform::LoadPicture(Written(c.bytes, c.name));
    ASSERT_EQ(loaded.WidthPixels(), 4) << c.name;
    ASSERT_EQ(loaded.HeightPixels(), 6) << c.name;
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 4; ++x) {
        const QRgb want = stored.pixel(y, 3 - x);
        const uint32_t got = loaded.pixels().at(x, y);
        const int alpha = qAlpha(want);
        EXPECT_EQ(got >> 24, static_cast<uint32_t>(alpha)) << c.name << " " << x << "," << y;
        EXPECT_NEAR(static_cast<int>((got >> 16) & 255), (qRed(want) * alpha + 127) / 255, 1)
            << c.name << " " << x << "," << y;
      }
    }
  }
  // Orientation 1, and a block with none, leave the picture as stored.
  for (const QByteArray& bytes :
       {hostile::PngWithOrientation(stored, 1), hostile::WebpWithOrientation(stored, 1)}) {
    EXPECT_EQ(platform::LoadPicture(Written(bytes, "upright")).WidthPixels(), 6);
  }
}

}  // namespace

namespace {

// A picture read ahead is the picture read: its pixels, and its errors with their texts.
TEST(PrefetchPicture, GivesWhatLoadingWouldGiveErrorsIncluded) {
  const std::string good = Save(Scene(40, 30), "good.jpg", "JPEG", 90);
  std::ifstream in(good, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  const std::string cut = testing_support::TempDir() + "/cut.jpg";
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 3);
  const std::string png = Save(Scene(20, 10), "other.png", "PNG");
  for (const std::string& path : {good, cut, png}) {
    SCOPED_TRACE(path);
    std::string direct_error, prefetched_error;
    platform::Picture direct, prefetched;
    try {
      direct = platform::LoadPicture(path);
    } catch (const platform::Error& e) {
      direct_error = e.what();
    }
    platform::PrefetchPicture(path);  // a JPEG is read ahead; any other file is not
    try {
      prefetched = platform::LoadPicture(path);
    } catch (const platform::Error& e) {
      prefetched_error = e.what();
    }
    EXPECT_EQ(prefetched_error, direct_error);
    ASSERT_EQ(prefetched.empty(), direct.empty());
    if (!direct.empty()) {
      EXPECT_EQ(testing_support::FirstDifference(prefetched.pixels(), direct.pixels()), "");
    }
  }
}

}  // namespace

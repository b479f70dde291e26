// Writing pictures: each format read back, transparency, the file that was there kept
// through every kind of failure, and the source's metadata carried over.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>

#include "platform/base/error.h"
#include "platform/imageio/picture.h"
#include "platform/imageio/safe_write.h"
#include "platform/imageio/save.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::Bitmap;
using platform::ErrorNumber;

platform::OutputPicture Whole(const Bitmap& pixels, bool alpha = false) {
  return {pixels.image(), {0, 0, pixels.width(), pixels.height()}, alpha};
}

struct Differences {
  int worst = 0;
  double mean = 0;
};

Differences Compare(const Bitmap& a, const Bitmap& b) {
  Differences d;
  EXPECT_EQ(a.width(), b.width());
  EXPECT_EQ(a.height(), b.height());
  if (a.width() != b.width() || a.height() != b.height()) return {256, 256};
  double sum = 0;
  for (int32_t y = 0; y < a.height(); ++y) {
    for (int32_t x = 0; x < a.width(); ++x) {
      for (int shift = 0; shift < 32; shift += 8) {
        const int diff = std::abs(static_cast<int>((a.at(x, y) >> shift) & 255) -
                                  static_cast<int>((b.at(x, y) >> shift) & 255));
        d.worst = std::max(d.worst, diff);
        sum += diff;
      }
    }
  }
  d.mean = sum / (4.0 * a.width() * a.height());
  return d;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Files in `folder` other than `kept`: a temporary left behind shows here.
std::vector<std::string> Others(const std::string& folder, const std::string& kept) {
  std::vector<std::string> others;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename() != kept) others.push_back(entry.path().filename());
  }
  return others;
}

TEST(Save, EachFormatIsReadBackAsWritten) {
  // Taller than a JPEG strip, so that the strips and their restart markers are joined.
  const Bitmap photo = testing_support::Photo(301, 613);
  // The lossy formats against the toolkit's own JPEG writer at the same quality: no
  // further from the picture than it.
  const std::string reference = testing_support::TempDir() + "/reference.jpg";
  QImageWriter writer(QString::fromStdString(reference), "JPEG");
  writer.setQuality(92);
  ASSERT_TRUE(writer.write(
      QImage(QString::fromStdString(testing_support::WritePicture(photo, "reference.png")))));
  const Differences qt = Compare(platform::LoadPicture(reference).pixels(), photo);
  const struct {
    const char* extension;
    int worst;    // the largest difference of a channel allowed
    double mean;  // and of their mean
  } cases[] = {
      {"png", 0, 0},
      {"webp", 0, 0},
      {"tif", 0, 0},
      {"bmp", 0, 0},
      {"jpg", qt.worst, qt.mean},
      {"heic", 2 * qt.worst, 1.5 * qt.mean},
      {"avif", 2 * qt.worst, 1.5 * qt.mean},
  };
  for (const auto& c : cases) {
    const std::string path = testing_support::TempDir() + "/photo." + c.extension;
    if (!platform::CanWrite(*platform::OutputFormatForExtension(c.extension))) {
      std::printf("no %s encoder on this machine: not checked\n", c.extension);
      continue;
    }
    platform::SavePicture(Whole(photo), path, {});
    const Differences d = Compare(platform::LoadPicture(path).pixels(), photo);
    EXPECT_LE(d.worst, c.worst) << c.extension;
    EXPECT_LE(d.mean, c.mean) << c.extension;
  }
}

TEST(Save, JpegStripsMakeOneFileEveryDecoderReads) {
  const Bitmap photo = testing_support::Photo(517, 1100);
  const std::string path = testing_support::TempDir() + "/strips.jpg";
  platform::SavePicture(Whole(photo), path, {});
  // The toolkit's own JPEG reader, on the same bytes: the same pixels as ours.
  QImageReader reader(QString::fromStdString(path));
  const QImage theirs = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  ASSERT_FALSE(theirs.isNull()) << reader.errorString().toStdString();
  const Bitmap ours = platform::LoadPicture(path).pixels();
  ASSERT_EQ(theirs.width(), ours.width());
  ASSERT_EQ(theirs.height(), ours.height());
  for (int32_t y = 0; y < ours.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(theirs.constScanLine(y));
    for (int32_t x = 0; x < ours.width(); ++x) ASSERT_EQ(row[x], ours.at(x, y)) << x << "," << y;
  }
}

TEST(Save, TransparencyIsKeptWhereTheFormatHoldsIt) {
  const Bitmap translucent = testing_support::Translucent(64, 48);
  for (const char* extension : {"png", "webp", "tif"}) {
    const std::string path = testing_support::TempDir() + "/clear." + extension;
    platform::SavePicture(Whole(translucent, true), path, {});
    // Straight alpha in the file: premultiplying back rounds by at most one.
    EXPECT_LE(Compare(platform::LoadPicture(path).pixels(), translucent).worst, 1) << extension;
  }
  // JPEG has no alpha: the picture as it stands over black, opaque.
  const std::string jpeg = testing_support::TempDir() + "/clear.jpg";
  platform::SavePicture(Whole(translucent, true), jpeg, {});
  const platform::Picture loaded = platform::LoadPicture(jpeg);
  EXPECT_EQ(loaded.pixels().at(5, 5) >> 24, 255u);
}

TEST(Save, UnknownFormatsAreRefusedBeforeAnythingIsWritten) {
  const Bitmap photo = testing_support::Photo(8, 8);
  const std::string folder = testing_support::TempDir();
  for (const char* name : {"/photo.xyz", "/photo", "/photo.jpg.txt"}) {
    try {
      platform::SavePicture(Whole(photo), folder + name, {});
      ADD_FAILURE() << name << " was written";
    } catch (const platform::Error& error) {
      EXPECT_EQ(error.number(), ErrorNumber::kInvalidProcedureCall) << name;
      EXPECT_EQ(error.path(), folder + name);
    }
  }
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST(Save, AFailedWriteKeepsTheFileThatWasThere) {
  const Bitmap photo = testing_support::Photo(300, 300);
  for (const char* extension : {"png", "jpg", "webp", "tif", "bmp", "heic"}) {
    if (!platform::CanWrite(*platform::OutputFormatForExtension(extension))) continue;
    // A full disk at the very start, and after the first bytes.
    for (const long long room : {0LL, 100LL}) {
      SCOPED_TRACE(room);
      const std::string folder = testing_support::TempDir();
      const std::string path = folder + "/kept." + extension;
      std::ofstream(path) << "the old file";
      platform::FailWritesAfterForTesting(room);
      try {
        platform::SavePicture(Whole(photo), path, {});
        ADD_FAILURE() << extension << ": a full disk was reported as success";
      } catch (const platform::Error& error) {
        EXPECT_EQ(error.number(), ErrorNumber::kFileAccess) << extension;
        EXPECT_EQ(error.path(), path);
        EXPECT_NE(error.cause().find("No space left"), std::string::npos) << error.cause();
      }
      platform::FailWritesAfterForTesting(-1);
      EXPECT_EQ(Contents(path), "the old file") << extension << " " << room;
      EXPECT_TRUE(Others(folder, "kept." + std::string(extension)).empty()) << extension;
    }
  }
}

// A JPEG tall enough to be encoded in strips is written strip by strip, from whichever
// thread finishes the next one: a disk that fills at the start, within the first strip or
// further on is still reported, and the file that was there kept.
TEST(Save, AFailedWriteOfAJpegInStripsKeepsTheFileThatWasThere) {
  const Bitmap photo = testing_support::Photo(640, 1100);
  for (const long long room : {0LL, 100LL, 30000LL}) {
    SCOPED_TRACE(room);
    const std::string folder = testing_support::TempDir();
    const std::string path = folder + "/kept.jpg";
    std::ofstream(path) << "the old file";
    platform::FailWritesAfterForTesting(room);
    try {
      platform::SavePicture(Whole(photo), path, {});
      ADD_FAILURE() << "a full disk was reported as success";
    } catch (const platform::Error& error) {
      EXPECT_EQ(error.number(), ErrorNumber::kFileAccess);
      EXPECT_EQ(error.path(), path);
    }
    platform::FailWritesAfterForTesting(-1);
    EXPECT_EQ(Contents(path), "the old file");
    EXPECT_TRUE(Others(folder, "kept.jpg").empty());
  }
  // With room, the strips make one file that reads back as the picture.
  const std::string path = testing_support::TempDir() + "/whole.jpg";
  platform::SavePicture(Whole(photo), path, {});
  EXPECT_EQ(platform::LoadPicture(path).HeightPixels(), 1100);
}

TEST(Save, AFolderThatCannotBeWrittenIsReportedAndLeftAlone) {
  const Bitmap photo = testing_support::Photo(16, 16);
  const std::string missing = testing_support::TempDir() + "/no such folder/photo.png";
  EXPECT_THROW(platform::SavePicture(Whole(photo), missing, {}), platform::Error);
  if (geteuid() != 0) {  // the superuser writes anywhere
    const std::string folder = testing_support::TempDir();
    const std::string path = folder + "/kept.png";
    std::ofstream(path) << "the old file";
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(platform::SavePicture(Whole(photo), path, {}), platform::Error);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(Contents(path), "the old file");
  }
}

TEST(Save, ReplacingAFileKeepsItsPermissions) {
  const Bitmap photo = testing_support::Photo(16, 16);
  const std::string path = testing_support::TempDir() + "/shared.png";
  std::ofstream(path) << "old";
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
  platform::SavePicture(Whole(photo), path, {});
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
  EXPECT_EQ(platform::LoadPicture(path).WidthPixels(), 16);
}

// A camera's JPEG: EXIF with a turned orientation, GPS and an artist, XMP and IPTC.
std::string CameraJpeg(const Bitmap& pixels) {
  const std::string path = testing_support::WritePicture(pixels, "camera.jpg");
  const auto image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "TestCam";
  exif["Exif.Image.Artist"] = "A. Person";
  exif["Exif.Image.Orientation"] = static_cast<uint16_t>(6);
  exif["Exif.Photo.DateTimeOriginal"] = "2024:05:01 10:00:00";
  exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
  exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
  exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 0/1";
  Exiv2::XmpData xmp;
  xmp["Xmp.dc.title"] = "lang=x-default Harbour";
  Exiv2::IptcData iptc;
  iptc["Iptc.Application2.Keywords"] = "sea";
  image->setExifData(exif);
  image->setXmpData(xmp);
  image->setIptcData(iptc);
  image->writeMetadata();
  return path;
}

std::string Tag(const Exiv2::ExifData& exif, const char* key) {
  const auto found = exif.findKey(Exiv2::ExifKey(key));
  return found == exif.end() ? "" : found->toString();
}

TEST(Save, TheCamerasMetadataIsKeptAndMadeTrueOfTheNewPicture) {
  const Bitmap upright = testing_support::Photo(40, 30);
  const platform::Metadata metadata = platform::Metadata::ReadFrom(CameraJpeg(upright));
  ASSERT_FALSE(metadata.empty());
  const Bitmap turned = testing_support::Photo(57, 45);
  for (const char* extension : {"jpg", "png", "webp", "tif"}) {
    const std::string path = testing_support::TempDir() + "/kept." + extension;
    platform::SavePicture(Whole(turned), path, {std::nullopt, metadata});
    const auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    EXPECT_EQ(Tag(exif, "Exif.Image.Make"), "TestCam") << extension;
    EXPECT_EQ(Tag(exif, "Exif.Image.Artist"), "A. Person") << extension;
    EXPECT_EQ(Tag(exif, "Exif.Photo.DateTimeOriginal"), "2024:05:01 10:00:00") << extension;
    EXPECT_EQ(Tag(exif, "Exif.Photo.ExposureTime"), "1/250") << extension;
    EXPECT_EQ(Tag(exif, "Exif.GPSInfo.GPSLatitude"), "48/1 51/1 0/1") << extension;
    EXPECT_EQ(Tag(exif, "Exif.Image.Orientation"), "1") << extension;
    EXPECT_EQ(Tag(exif, "Exif.Photo.PixelXDimension"), "57") << extension;
    EXPECT_EQ(Tag(exif, "Exif.Photo.PixelYDimension"), "45") << extension;
    EXPECT_EQ(Tag(exif, "Exif.Photo.ColorSpace"), "1") << extension;
    EXPECT_NE(image->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title")), image->xmpData().end())
        << extension;
    if (std::string(extension) != "webp") {  // WebP has no place for IPTC
      EXPECT_FALSE(image->iptcData().empty()) << extension;
    }
    // Upright already: read back, the picture is not turned again by its orientation.
    EXPECT_EQ(platform::LoadPicture(path).WidthPixels(), 57) << extension;
  }
}

TEST(Save, WithoutMetadataNoneIsWritten) {
  const Bitmap photo = testing_support::Photo(20, 20);
  const std::string path = testing_support::TempDir() + "/bare.jpg";
  platform::SavePicture(Whole(photo), path, {});
  const auto image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  EXPECT_TRUE(image->exifData().empty());
  EXPECT_TRUE(image->xmpData().empty());
  EXPECT_FALSE(image->iccProfileDefined() && image->iccProfile()->size_ == 0);
}

TEST(Metadata, DamagedOrMissingMetadataIsNone) {
  const Bitmap photo = testing_support::Photo(20, 20);
  // A JPEG whose EXIF block is noise, a picture without any, a file that is no picture.
  std::string damaged = Contents(testing_support::WritePicture(photo, "plain.jpg"));
  const std::string noise = "Exif\0\0MM\0*\xFF\xFF\xFF\xF0garbage";
  const std::string app1 =
      std::string("\xFF\xE1") + static_cast<char>(0) + static_cast<char>(noise.size() + 2) + noise;
  damaged.insert(2, app1);
  const std::string folder = testing_support::TempDir();
  std::ofstream(folder + "/damaged.jpg", std::ios::binary) << damaged;
  std::ofstream(folder + "/text.jpg") << "not a picture";
  for (const std::string name : {"/damaged.jpg", "/text.jpg", "/missing.jpg"}) {
    EXPECT_TRUE(platform::Metadata::ReadFrom(folder + name).empty()) << name;
  }
  EXPECT_TRUE(platform::Metadata::ReadFrom(testing_support::WritePicture(photo, "p.png")).empty());
}

// A file of the given bytes in a fresh folder; its path.
std::string FileOf(const QByteArray& bytes, const std::string& name) {
  const std::string path = testing_support::TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
  return path;
}

platform::Metadata LongHistory(int bytes) {
  return platform::Metadata::ReadFrom(FileOf(
      hostile::WithXmp(hostile::Encoded(hostile::Scene(64, 48), "PNG"), bytes), "history.png"));
}

TEST(Save, AFullDiskWhileTheMetadataGoesInKeepsTheFileThatWasThere) {
  // The picture alone fits; with its 60 kB of XMP it does not. The metadata used to go in
  // through a second opening of the file whose short writes went unseen.
  const platform::Metadata history = LongHistory(60000);
  ASSERT_FALSE(history.empty());
  const Bitmap turned = testing_support::Photo(64, 48);
  for (const char* extension : {"jpg", "png", "webp", "tif"}) {
    const testing_support::SmallDisk disk(64);
    if (!disk.mounted()) GTEST_SKIP() << "needs the superuser to mount a small tmpfs";
    const std::string path = disk.path() + "/kept." + extension;
    std::ofstream(path) << "the old file";
    std::ofstream(disk.path() + "/filler", std::ios::binary) << std::string(40 * 1024, 'f');
    try {
      platform::SavePicture(Whole(turned), path, {std::nullopt, history});
      ADD_FAILURE() << extension << ": a full disk was reported as success";
    } catch (const platform::Error& error) {
      EXPECT_EQ(error.number(), ErrorNumber::kFileAccess) << extension;
      EXPECT_NE(error.cause().find("No space left"), std::string::npos) << error.cause();
    }
    EXPECT_EQ(Contents(path), "the old file") << extension;
    EXPECT_EQ(testing_support::Names(disk.path()),
              (std::vector<std::string>{"filler", std::string("kept.") + extension}));
    // Without the metadata the same disk takes the picture.
    EXPECT_NO_THROW(platform::SavePicture(Whole(turned), path, {})) << extension;
  }
}

std::string XmpDescription(const std::string& path) {
  const auto image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  const auto found = image->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.description"));
  return found == image->xmpData().end() ? "" : found->toString();
}

TEST(Save, MetadataTooLargeForAJpegIsLeftOutWithAWarning) {
  const platform::Metadata history = LongHistory(70000);
  ASSERT_FALSE(history.empty());
  const Bitmap turned = testing_support::Photo(40, 30);
  const std::string jpeg = testing_support::TempDir() + "/long.jpg";
  const platform::SaveWarnings warnings =
      platform::SavePicture(Whole(turned), jpeg, {std::nullopt, history});
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("XMP"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find("left out"), std::string::npos) << warnings[0];
  EXPECT_EQ(platform::LoadPicture(jpeg).WidthPixels(), 40);
  EXPECT_EQ(XmpDescription(jpeg), "");
  // A PNG has room for it: all of it, and nothing to say.
  const std::string png = testing_support::TempDir() + "/long.png";
  EXPECT_TRUE(platform::SavePicture(Whole(turned), png, {std::nullopt, history}).empty());
  EXPECT_GE(XmpDescription(png).size(), 70000u);

  // One EXIF tag too large for the segment: that tag goes, named; the camera's stay.
  const std::string source = testing_support::WritePicture(turned, "described.tif");
  {
    const auto image = Exiv2::ImageFactory::open(source);
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "TestCam";
    exif["Exif.Image.ImageDescription"] = std::string(70000, 'd');
    image->setExifData(exif);
    image->writeMetadata();
  }
  const std::string described = testing_support::TempDir() + "/described.jpg";
  const platform::SaveWarnings exif_warnings = platform::SavePicture(
      Whole(turned), described, {std::nullopt, platform::Metadata::ReadFrom(source)});
  ASSERT_EQ(exif_warnings.size(), 1u);
  EXPECT_NE(exif_warnings[0].find("Exif.Image.ImageDescription"), std::string::npos)
      << exif_warnings[0];
  const auto image = Exiv2::ImageFactory::open(described);
  image->readMetadata();
  EXPECT_EQ(Tag(image->exifData(), "Exif.Image.Make"), "TestCam");
  EXPECT_EQ(Tag(image->exifData(), "Exif.Image.ImageDescription"), "");
}

}  // namespace

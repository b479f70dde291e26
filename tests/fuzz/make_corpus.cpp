// Writes the fuzzer's seed corpus: small pictures of every format the program reads and
// writes, each followed by the two bytes that pick the angles.
//
//   anyturn_make_corpus FOLDER
#include <libheif/heif.h>
#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>

#include "platform/imageio/save.h"
#include "tests/support/hostile_pictures.h"

namespace {

QImage Picture(int width, int height, QImage::Format format) {
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgba(x * 40, y * 60, (x + y) * 20, 255 - x * 10));
  }
  return image.convertToFormat(format);
}

// The fuzzer's -max_len (scripts/fuzz.sh).
constexpr qsizetype kLongestInput = 65536 - 2;

bool Write(const QDir& folder, const QString& name, const QByteArray& bytes) {
  QFile file(folder.filePath(name));
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(bytes);
  file.write("\x1e\x80", 2);  // the angles: about 30 and 180 degrees
  return true;
}

QByteArray Encode(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.write(image);
  return bytes;
}

// HEIC or AVIF through libheif's encoders; empty when the encoder is missing.
QByteArray EncodeHeif(const QImage& picture, heif_compression_format format) {
  const QImage image = picture.convertToFormat(QImage::Format_RGBA8888);
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  QByteArray bytes;
  if (heif_context_get_encoder_for_format(context, format, &encoder).code == heif_error_Ok) {
    heif_image* raw = nullptr;
    heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                      heif_chroma_interleaved_RGBA, &raw);
    heif_image_add_plane(raw, heif_channel_interleaved, image.width(), image.height(), 8);
    int stride = 0;
    uint8_t* rows = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    for (int y = 0; y < image.height(); ++y) {
      std::memcpy(rows + y * stride, image.constScanLine(y), image.width() * 4);
    }
    heif_encoder_set_lossy_quality(encoder, 60);
    if (heif_context_encode_image(context, raw, encoder, nullptr, nullptr).code == heif_error_Ok) {
      heif_writer writer{};
      writer.writer_api_version = 1;
      writer.write = [](heif_context*, const void* data, size_t size, void* out) {
        static_cast<QByteArray*>(out)->append(static_cast<const char*>(data),
                                              static_cast<qsizetype>(size));
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
      };
      heif_context_write(context, &writer, &bytes);
    }
    heif_image_release(raw);
    heif_encoder_release(encoder);
  }
  heif_context_free(context);
  return bytes;
}

// A JPEG with an EXIF block saying which way up it is (the toolkit's writer turns the
// pixels instead of saying so).
QByteArray WithOrientation(const QByteArray& jpeg, char orientation) {
  const char block[] = {'\xFF', '\xE1', 0, 34, 'E',         'x', 'i', 'f', 0,    0,    'I', 'I',
                        42,     0,      8, 0,  0,           0,   1,   0,   0x12, 0x01, 3,   0,
                        1,      0,      0, 0,  orientation, 0,   0,   0,   0,    0,    0,   0};
  return jpeg.left(2) + QByteArray(block, sizeof block) + jpeg.mid(2);
}

// What the program itself writes, from a JPEG carrying a camera's metadata: a JPEG of
// strips joined by restart markers, PNG, WebP and TIFF, each with that metadata.
QByteArray Ours(const QDir& folder, const QString& name) {
  const QString camera = folder.filePath("camera.source.jpg");
  QFile source(camera);
  if (!source.open(QIODevice::WriteOnly)) return {};
  source.write(Encode(Picture(9, 7, QImage::Format_RGB32), "JPEG"));
  source.close();
  const auto image = Exiv2::ImageFactory::open(camera.toStdString());
  image->readMetadata();
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "TestCam";
  exif["Exif.Image.Orientation"] = static_cast<uint16_t>(8);
  exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 0/1";
  Exiv2::XmpData xmp;
  xmp["Xmp.dc.title"] = "lang=x-default Harbour";
  Exiv2::IptcData iptc;
  iptc["Iptc.Application2.Keywords"] = "sea";
  image->setExifData(exif);
  image->setXmpData(xmp);
  image->setIptcData(iptc);
  image->writeMetadata();
  platform::SaveOptions options;
  options.metadata = platform::Metadata::ReadFrom(camera.toStdString());
  // Tall enough for more than one strip of the JPEG writer.
  const platform::Bitmap pixels(12, 300, 0xFF336699u);
  const QString path = folder.filePath(name + ".written");
  platform::SavePicture({pixels.image(), {0, 0, 12, 300}, false},
                        (path + "." + QFileInfo(name).suffix()).toStdString(), options);
  QFile written(path + "." + QFileInfo(name).suffix());
  if (!written.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = written.readAll();
  written.remove();
  QFile::remove(camera);
  return bytes;
}

QImage Tagged(QImage image, QColorSpace::NamedColorSpace space) {
  image.setColorSpace(QColorSpace(space));
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: anyturn_make_corpus FOLDER\n");
    return 2;
  }
  QDir folder(argv[1]);
  if (!folder.mkpath(".")) return 1;
  // A 1 x 1 GIF, byte by byte: the toolkit writes none.
  const QByteArray gif(
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
      "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
      34);
  const struct {
    const char* name;
    QByteArray bytes;
  } seeds[] = {
      {"rgb.png", Encode(Picture(7, 5, QImage::Format_RGB32), "PNG")},
      {"alpha.png", Encode(Picture(6, 4, QImage::Format_ARGB32), "PNG")},
      {"paletted.png", Encode(Picture(5, 5, QImage::Format_Indexed8), "PNG")},
      {"deep.png", Encode(Picture(4, 3, QImage::Format_RGBA64), "PNG")},
      {"grey.png", Encode(Picture(3, 8, QImage::Format_Grayscale8), "PNG")},
      {"rgb.jpg", Encode(Picture(9, 7, QImage::Format_RGB32), "JPEG")},
      {"grey.jpg", Encode(Picture(8, 8, QImage::Format_Grayscale8), "JPEG")},
      {"picture.bmp", Encode(Picture(5, 3, QImage::Format_RGB32), "BMP")},
      {"picture.ppm", Encode(Picture(4, 4, QImage::Format_RGB32), "PPM")},
      {"picture.pgm", Encode(Picture(4, 2, QImage::Format_Grayscale8), "PGM")},
      {"picture.ico", Encode(Picture(16, 16, QImage::Format_ARGB32), "ICO")},
      {"picture.gif", gif},
      {"strip.png", Encode(Picture(1, 40, QImage::Format_RGB32), "PNG")},
      {"picture.webp", Encode(Picture(6, 5, QImage::Format_ARGB32), "WEBP")},
      {"picture.tif", Encode(Picture(5, 6, QImage::Format_RGB32), "TIFF")},
      {"picture.heic", EncodeHeif(Picture(16, 12, QImage::Format_RGB32), heif_compression_HEVC)},
      {"picture.avif", EncodeHeif(Picture(12, 16, QImage::Format_ARGB32), heif_compression_AV1)},
      {"oriented.jpg", WithOrientation(Encode(Picture(6, 3, QImage::Format_RGB32), "JPEG"), 6)},
      // Sides of whole blocks, so that a quarter turn goes block by block.
      {"blocks.jpg", WithOrientation(Encode(Picture(32, 16, QImage::Format_RGB32), "JPEG"), 6)},
      {"adobe.jpg",
       Encode(Tagged(Picture(8, 6, QImage::Format_RGB32), QColorSpace::AdobeRgb), "JPEG")},
      {"p3.png",
       Encode(Tagged(Picture(6, 6, QImage::Format_ARGB32), QColorSpace::DisplayP3), "PNG")},
      {"cut.jpg", Encode(Picture(32, 32, QImage::Format_RGB32), "JPEG").left(300)},
      {"ours.jpg", Ours(folder, "ours.jpg")},
      {"ours.png", Ours(folder, "ours.png")},
      {"ours.webp", Ours(folder, "ours.webp")},
      {"ours.tif", Ours(folder, "ours.tif")},
  };
  for (const auto& seed : seeds) {
    if (seed.bytes.isEmpty() || !Write(folder, seed.name, seed.bytes)) {
      std::fprintf(stderr, "anyturn_make_corpus: cannot write %s\n", seed.name);
      return 1;
    }
  }
  // Damaged and hostile files; the large ones are cut to the fuzzer's longest input, which
  // keeps their headers and first scans.
  for (const hostile::Named& seed : hostile::All()) {
    if (seed.bytes.isEmpty() ||
        !Write(folder, "hostile-" + seed.name, seed.bytes.left(kLongestInput))) {
      std::fprintf(stderr, "anyturn_make_corpus: cannot write %s\n", qPrintable(seed.name));
      return 1;
    }
  }
  return 0;
}

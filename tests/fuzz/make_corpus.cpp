// Writes the fuzzer's seed corpus: small pictures of every format the program reads,
// each followed by the two bytes that pick the angles.
//
//   anyturn_make_corpus FOLDER
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <cstdio>

namespace {

QImage Picture(int width, int height, QImage::Format format) {
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgba(x * 40, y * 60, (x + y) * 20, 255 - x * 10));
  }
  return image.convertToFormat(format);
}

bool Write(const QDir& folder, const QString& name, const QByteArray& bytes) {
  QFile file(folder.filePath(name));
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(bytes);
  file.write("\x1e\x80", 2);  // the angles: about 30 and 180 degrees
  return true;
}

QByteArray Encode(const QImage& image, const char* format,
                  QImageIOHandler::Transformations tag = QImageIOHandler::TransformationNone) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setTransformation(tag);
  writer.write(image);
  return bytes;
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
      {"tagged.jpg", Encode(Picture(6, 3, QImage::Format_RGB32), "JPEG",
                            QImageIOHandler::TransformationRotate90)},
      {"picture.bmp", Encode(Picture(5, 3, QImage::Format_RGB32), "BMP")},
      {"picture.ppm", Encode(Picture(4, 4, QImage::Format_RGB32), "PPM")},
      {"picture.pgm", Encode(Picture(4, 2, QImage::Format_Grayscale8), "PGM")},
      {"picture.ico", Encode(Picture(16, 16, QImage::Format_ARGB32), "ICO")},
      {"picture.gif", gif},
      {"strip.png", Encode(Picture(1, 40, QImage::Format_RGB32), "PNG")},
  };
  for (const auto& seed : seeds) {
    if (seed.bytes.isEmpty() || !Write(folder, seed.name, seed.bytes)) {
      std::fprintf(stderr, "anyturn_make_corpus: cannot write %s\n", seed.name);
      return 1;
    }
  }
  return 0;
}

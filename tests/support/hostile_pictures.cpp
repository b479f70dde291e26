#include "tests/support/hostile_pictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>
#include <cstring>
#include <exiv2/exiv2.hpp>

namespace hostile {

namespace {

QByteArray Encode(const QImage& image, const char* format, int quality = -1,
                  bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  writer.setProgressiveScanWrite(progressive);
  writer.write(image);
  return bytes;
}

// A bare EXIF block (a TIFF header and one directory) holding the orientation alone.
QByteArray OrientationBlock(int orientation) {
  const char block[] = {'I',  'I',  42, 0, 8, 0, 0, 0, 1,
                        0,  // one entry
                        0x12, 0x01, 3,  0, 1, 0, 0, 0, static_cast<char>(orientation),
                        0,    0,    0,  0, 0, 0, 0};  // no next directory
  return QByteArray(block, sizeof block);
}

QByteArray BigEndian(quint32 value) {
  QByteArray bytes(4, '\0');
  qToBigEndian(value, bytes.data());
  return bytes;
}

QByteArray LittleEndian(quint32 value) {
  QByteArray bytes(4, '\0');
  qToLittleEndian(value, bytes.data());
  return bytes;
}

quint32 Crc32(const QByteArray& bytes) {
  quint32 crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<quint8>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

}  // namespace

QByteArray Encoded(const QImage& image, const char* format, int quality) {
  return Encode(image, format, quality);
}

QImage Scene(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const int ripple = ((x / 7 + y / 5) % 2) * 24;
      row[x] = qRgb((x * 255) / std::max(width, 1), (y * 255) / std::max(height, 1), 96 + ripple);
    }
  }
  return image;
}

QByteArray PatchedHeaderJpeg(int width, int height) {
  QByteArray jpeg = Encode(Scene(64, 48), "JPEG", 90);
  for (int at = 2; at + 9 <= jpeg.size();) {
    const auto marker = static_cast<quint8>(jpeg[at + 1]);
    if (marker >= 0xC0 && marker <= 0xC2) {  // SOF: precision, height, width
      qToBigEndian(static_cast<quint16>(height), jpeg.data() + at + 5);
      qToBigEndian(static_cast<quint16>(width), jpeg.data() + at + 7);
      break;
    }
    at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2);
  }
  return jpeg;
}

QByteArray RepeatedScanJpeg(int width, int height, int repeats) {
  // Flat, so that every scan is a few bytes however large the picture: each still costs
  // the decoder a pass over all of it.
  QImage flat(width, height, QImage::Format_RGB32);
  flat.fill(qRgb(90, 140, 200));
  const QByteArray jpeg = Encode(flat, "JPEG", 85, true);
  const qsizetype last = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
  const qsizetype end = jpeg.lastIndexOf(QByteArray("\xFF\xD9", 2));
  if (last < 0 || end < last) return {};
  const QByteArray scan = jpeg.mid(last, end - last);
  QByteArray repeated = jpeg.left(end);
  for (int i = 0; i < repeats; ++i) repeated += scan;
  return repeated + jpeg.mid(end);
}

QByteArray JpegWithOrientation(const QByteArray& jpeg, int orientation) {
  const QByteArray payload = QByteArray("Exif\0\0", 6) + OrientationBlock(orientation);
  const auto length = static_cast<quint16>(payload.size() + 2);
  QByteArray segment("\xFF\xE1", 2);
  segment += static_cast<char>(length >> 8);
  segment += static_cast<char>(length & 255);
  return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

QByteArray PngWithOrientation(const QImage& image, int orientation) {
  const QByteArray png = Encode(image, "PNG");
  const QByteArray data = OrientationBlock(orientation);
  const QByteArray typed = "eXIf" + data;
  const QByteArray chunk =
      BigEndian(static_cast<quint32>(data.size())) + typed + BigEndian(Crc32(typed));
  constexpr int kAfterHeader = 8 + 8 + 13 + 4;  // the signature, then IHDR
  return png.left(kAfterHeader) + chunk + png.mid(kAfterHeader);
}

QByteArray WebpWithOrientation(const QImage& image, int orientation) {
  const QByteArray simple = Encode(image, "WEBP", 100);  // lossless
  if (simple.size() < 20 || simple.mid(8, 4) != "WEBP") return {};
  QByteArray chunks = simple.mid(12);
  if (chunks.left(4) == "VP8X") {
    chunks[8] = static_cast<char>(chunks[8] | 0x08);  // EXIF present
  } else {
    QByteArray header("VP8X");
    header += LittleEndian(10);
    QByteArray flags(10, '\0');
    flags[0] = static_cast<char>(0x08 | (image.hasAlphaChannel() ? 0x10 : 0));
    const quint32 w = static_cast<quint32>(image.width() - 1);
    const quint32 h = static_cast<quint32>(image.height() - 1);
    for (int i = 0; i < 3; ++i) {
      flags[4 + i] = static_cast<char>(w >> (8 * i));
      flags[7 + i] = static_cast<char>(h >> (8 * i));
    }
    chunks = header + flags + chunks;
  }
  const QByteArray exif = OrientationBlock(orientation);
  chunks += "EXIF" + LittleEndian(static_cast<quint32>(exif.size())) + exif;
  if (exif.size() % 2 != 0) chunks += '\0';
  return "RIFF" + LittleEndian(static_cast<quint32>(4 + chunks.size())) + "WEBP" + chunks;
}

QByteArray WithXmp(const QByteArray& file, int bytes) {
  try {
    Exiv2::XmpParser::initialize();
    const auto image = Exiv2::ImageFactory::open(
        reinterpret_cast<const Exiv2::byte*>(file.constData()), static_cast<long>(file.size()));
    image->readMetadata();
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.title"] = "lang=x-default A long edit history";
    xmp["Xmp.dc.description"] = std::string(static_cast<size_t>(bytes), 'h');
    image->setXmpData(xmp);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf written = io.read(io.size());
    return QByteArray(reinterpret_cast<const char*>(written.pData_),
                      static_cast<qsizetype>(written.size_));
  } catch (const std::exception&) {
    return {};
  }
}

std::vector<Named> All() {
  const QImage upright = Scene(30, 20);
  return {
      {"patched-header.jpg", PatchedHeaderJpeg(16000, 16000)},
      {"repeated-scans.jpg", RepeatedScanJpeg(4000, 3000, 1000)},
      {"oriented-6.png", PngWithOrientation(upright, 6)},
      {"oriented-6.webp", WebpWithOrientation(upright, 6)},
      // Whole blocks and a tag: what a right angle turns in its coded form.
      {"whole-blocks-6.jpg", JpegWithOrientation(Encode(Scene(32, 16), "JPEG", 90), 6)},
      {"xmp-60k.jpg", WithXmp(Encode(Scene(64, 48), "JPEG", 90), 60000)},
      {"xmp-70k.png", WithXmp(Encode(Scene(64, 48), "PNG"), 70000)},
  };
}

}  // namespace hostile

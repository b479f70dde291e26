#include "platform/imageio/qt_reader.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <cstring>

#include "platform/base/error.h"
#include "platform/imageio/exif.h"
#include "platform/imageio/limits.h"

namespace platform {

namespace {

// The toolkit makes a colour space of a PNG's gamma and chromaticity chunks as well as of
// an embedded profile; only a profile is honoured (as for every other format), so a PNG
// tells which it has: an iCCP chunk before its image data.
bool PngWithoutProfile(const std::vector<uint8_t>& bytes) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return false;
  for (size_t at = 8; at + 8 <= bytes.size();) {
    const uint32_t length = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                            uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
    const char* type = reinterpret_cast<const char*>(&bytes[at + 4]);
    if (std::memcmp(type, "iCCP", 4) == 0) return false;
    if (std::memcmp(type, "IDAT", 4) == 0) break;
    if (length > bytes.size() - at - 8 - 4) break;  // damaged: the reader will say so
    at += 8 + size_t{length} + 4;
  }
  return true;
}

}  // namespace

Decoded ReadWithToolkit(const std::vector<uint8_t>& bytes, const std::string& path) {
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid()) CheckPictureSize(size.width(), size.height(), path);
  // The reader's own guard refuses huge claims before it allocates anything.
  reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
  QImage image = reader.read();
  if (image.isNull()) {
    throw Error(ErrorNumber::kInvalidPicture,
                "Invalid picture: " + reader.errorString().toStdString(), path);
  }
  Decoded out;
  const QColorSpace space = image.colorSpace();
  if (space.isValid() && space != QColorSpace(QColorSpace::SRgb) && !PngWithoutProfile(bytes)) {
    out.icc = space.iccProfile().toStdString();
  }
  // Without a profile to apply, premultiplied by the toolkit as it always was, so that a
  // translucent picture keeps every pixel; with one, straight alpha for the conversion.
  out.premultiplied = out.icc.empty();
  image.convertTo(out.premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
  out.width = image.width();
  out.height = image.height();
  out.layout = Decoded::Layout::kBgra;
  // The toolkit obeys the orientation of the formats whose readers know it (TIFF); PNG's
  // and WebP's are read here, and obeyed as a JPEG's is.
  if (reader.transformation() == QImageIOHandler::TransformationNone) {
    out.orientation = ContainerOrientation(bytes);
  }
  const size_t row = static_cast<size_t>(out.width) * 4;
  uint8_t* const samples = out.Allocate(path);
  for (int32_t y = 0; y < out.height; ++y) {
    std::memcpy(samples + y * row, image.constScanLine(y), row);
  }
  return out;
}

}  // namespace platform

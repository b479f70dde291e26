#include "platform/imageio/qt_reader.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QImageReader>
#include <cstring>

#include "platform/base/error.h"
#include "platform/imageio/limits.h"

namespace platform {

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
  if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
    out.icc = space.iccProfile().toStdString();
  }
  image.convertTo(QImage::Format_ARGB32);
  out.width = image.width();
  out.height = image.height();
  out.layout = Decoded::Layout::kBgra;
  const size_t row = static_cast<size_t>(out.width) * 4;
  out.samples.resize(row * out.height);
  for (int32_t y = 0; y < out.height; ++y) {
    std::memcpy(&out.samples[y * row], image.constScanLine(y), row);
  }
  return out;
}

}  // namespace platform

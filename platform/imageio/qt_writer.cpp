// TIFF and BMP through the toolkit's writers.
#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageWriter>
#include <cstring>

#include "platform/base/error.h"
#include "platform/imageio/encoders.h"

namespace platform {

void WriteWithToolkit(const OutputPicture& picture, const char* format, OutputFile& file) {
  QImage image(picture.width(), picture.height(),
               picture.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (image.isNull()) throw Error(ErrorNumber::kOutOfMemory, "Out of memory", file.target);
  const size_t row_bytes = static_cast<size_t>(picture.width()) * 4;
  ForEachOutputRow(picture, picture.alpha ? Samples::kBgra : Samples::kBgrx,
                   [&](int32_t y, const uint8_t* row) {
                     uchar* line = image.scanLine(y);
                     std::memcpy(line, row, row_bytes);
                     if (!picture.alpha) {
                       for (size_t x = 3; x < row_bytes; x += 4) line[x] = 0xFF;
                     }
                   });
  image.setColorSpace(QColorSpace::SRgb);
  // Encoded in memory, then written as every other format is: one way to fail on a
  // full disk, one way to report it.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (!writer.write(image)) {
    throw Error(ErrorNumber::kFileAccess,
                "Path/File access error: cannot write the picture (" +
                    writer.errorString().toStdString() + ")",
                file.target);
  }
  WriteAll(file, bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace platform

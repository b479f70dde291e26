#include "platform/imageio/picture.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <cmath>
#include <cstring>

#include "platform/base/error.h"

namespace platform {

int32_t HiMetricFromPixels(int32_t pixels) {
  return static_cast<int32_t>(std::lround(pixels * 2540.0 / 96.0));
}

int32_t Picture::Width() const {
  return HiMetricFromPixels(WidthPixels());
}
int32_t Picture::Height() const {
  return HiMetricFromPixels(HeightPixels());
}

namespace {

void CheckFile(const QString& file, const std::string& path) {
  const QFileInfo info(file);
  if (!info.exists()) throw Error(ErrorNumber::kFileNotFound, "File not found", path);
  if (info.isDir()) {
    throw Error(ErrorNumber::kFileAccess, "Path/File access error: this is a folder, not a file",
                path);
  }
  if (!info.isReadable()) {
    throw Error(ErrorNumber::kFileAccess, "Path/File access error: the file cannot be read", path);
  }
}

Bitmap ToBitmap(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  Bitmap bitmap(argb.width(), argb.height(), 0);
  const PixelView pixels = bitmap.WriteAll().pixels;
  for (int y = 0; y < argb.height(); ++y) {
    std::memcpy(pixels.row(y), argb.constScanLine(y), static_cast<size_t>(argb.width()) * 4);
  }
  return bitmap;
}

}  // namespace

Picture LoadPicture(const std::string& path) {
  const QString file = QString::fromStdString(path);
  CheckFile(file, path);
  QImageReader reader(file);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid() && int64_t{size.width()} * size.height() > kMaxPicturePixels) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: the picture is " + std::to_string(size.width()) + " x " +
                    std::to_string(size.height()) + " pixels, more than this program can turn",
                path);
  }
  // The reader's own guard refuses huge claims before it allocates anything.
  reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
  const QImage image = reader.read();
  if (image.isNull()) {
    if (reader.error() == QImageReader::FileNotFoundError) {
      throw Error(ErrorNumber::kFileAccess, "Path/File access error: the file cannot be read",
                  path);
    }
    throw Error(ErrorNumber::kInvalidPicture,
                "Invalid picture: " + reader.errorString().toStdString(), path);
  }
  return Picture(std::make_shared<const Bitmap>(ToBitmap(image)));
}

}  // namespace platform

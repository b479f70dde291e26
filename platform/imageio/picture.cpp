#include "platform/imageio/picture.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>

#include "platform/base/error.h"
#include "platform/imageio/colour.h"
#include "platform/imageio/decoded.h"
#include "platform/imageio/file_bytes.h"
#include "platform/imageio/heif_reader.h"
#include "platform/imageio/jpeg_reader.h"
#include "platform/imageio/lossless_jpeg.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/qt_reader.h"
#include "platform/pixels/parallel.h"

namespace platform {

void CheckPictureSize(int64_t width, int64_t height, const std::string& path) {
  if (width * height > kMaxPicturePixels) {
    throw Error(ErrorNumber::kOutOfMemory,
                "Out of memory: the picture is " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels, more than this program can turn",
                path);
  }
}

namespace {

// Where the upright picture's pixel (x, y) is in the stored one, for EXIF orientation
// `orientation` of a stored picture `width` x `height`.
struct Source {
  int32_t x, y;
};
Source Stored(int orientation, int32_t x, int32_t y, int32_t width, int32_t height) {
  switch (orientation) {
    case 2:
      return {width - 1 - x, y};  // mirrored
    case 3:
      return {width - 1 - x, height - 1 - y};  // upside down
    case 4:
      return {x, height - 1 - y};  // mirrored upside down
    case 5:
      return {y, x};  // mirrored along the diagonal
    case 6:
      return {y, height - 1 - x};  // a quarter turn anticlockwise
    case 7:
      return {width - 1 - y, height - 1 - x};  // mirrored along the other diagonal
    case 8:
      return {width - 1 - y, x};  // a quarter turn clockwise
    default:
      return {x, y};
  }
}

uint32_t Premultiplied(const uint8_t* bgra) {
  const uint32_t a = bgra[3];
  const auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
  return a << 24 | scale(bgra[2]) << 16 | scale(bgra[1]) << 8 | scale(bgra[0]);
}

// The sRGB straight-alpha samples, upright and premultiplied, as the program's pixels.
// Upright already, they become the bitmap in place: an opaque photo is not copied at all.
Bitmap ToBitmap(Decoded& picture, bool& opaque) {
  if (picture.orientation < 2 || picture.orientation > 8) {
    if (picture.opaque) {
      opaque = true;
      return std::move(picture.four);
    }
    const PixelView pixels = picture.four.Write();
    std::atomic<bool> translucent{false};
    ForRowBands(pixels.height, int64_t{pixels.width} * pixels.height, [&](int32_t a, int32_t b) {
      bool seen = false;
      for (int32_t y = a; y < b; ++y) {
        uint32_t* row = pixels.row(y);
        for (int32_t x = 0; x < pixels.width; ++x) {
          if ((row[x] >> 24) == 255) continue;
          if (!picture.premultiplied) row[x] = Premultiplied(reinterpret_cast<uint8_t*>(&row[x]));
          seen = true;
        }
      }
      if (seen) translucent = true;
    });
    opaque = !translucent;
    return std::move(picture.four);
  }
  opaque = false;  // not worth a look: turned pictures are few
  const bool turned = picture.orientation >= 5;
  const int32_t width = turned ? picture.height : picture.width;
  const int32_t height = turned ? picture.width : picture.height;
  Bitmap bitmap(width, height, 0);
  const PixelView pixels = bitmap.WriteAll().pixels;
  const uint8_t* samples = picture.Samples();
  for (int32_t y = 0; y < height; ++y) {
    uint32_t* row = pixels.row(y);
    for (int32_t x = 0; x < width; ++x) {
      const Source at = Stored(picture.orientation, x, y, picture.width, picture.height);
      const uint8_t* sample = samples + (static_cast<size_t>(at.y) * picture.width + at.x) * 4;
      row[x] = picture.premultiplied ? *reinterpret_cast<const uint32_t*>(sample)
                                     : Premultiplied(sample);
    }
  }
  return bitmap;
}

}  // namespace

namespace {

struct Prefetched {
  std::mutex mutex;
  std::string path;
  std::future<Picture> picture;
};

Prefetched& Slot() {
  static Prefetched slot;
  return slot;
}

Picture Read(const std::string& path, std::optional<int> coded_quarters = std::nullopt);

}  // namespace

void PrefetchPicture(const std::string& path, std::optional<int> coded_quarters) {
  // Only the reader that needs none of the toolkit runs ahead of it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  uint8_t head[3] = {};
  const bool jpeg = ::read(fd, head, 3) == 3 && IsJpeg({head, head + 3});
  ::close(fd);
  if (!jpeg) return;
  Prefetched& slot = Slot();
  std::lock_guard lock(slot.mutex);
  if (slot.picture.valid() && slot.path == path) return;
  slot.path = path;  // one read ahead that nobody took is let go
  slot.picture =
      std::async(std::launch::async, [path, coded_quarters] { return Read(path, coded_quarters); });
}

Picture LoadPicture(const std::string& path) {
  Prefetched& slot = Slot();
  std::unique_lock lock(slot.mutex);
  if (slot.picture.valid() && slot.path == path) {
    std::future<Picture> picture = std::move(slot.picture);
    lock.unlock();
    return picture.get();
  }
  lock.unlock();
  return Read(path);
}

namespace {

Picture Read(const std::string& path, std::optional<int> coded_quarters) {
  std::vector<uint8_t> bytes = ReadPictureFile(path);
  const bool jpeg = IsJpeg(bytes);
  // On a thread of its own, beside the decoding; let go unused when the picture turns out
  // to be shown converted from the colours it codes, or cannot be read.
  const std::shared_ptr<const CodedTurnAhead> ahead =
      jpeg && coded_quarters ? TurnCodedAhead(bytes, JpegOrientation(bytes), *coded_quarters)
                             : nullptr;
  Decoded picture = jpeg            ? ReadJpeg(bytes, path)
                    : IsHeif(bytes) ? ReadHeif(bytes, path)
                                    : ReadWithToolkit(bytes, path);
  // Only a JPEG shown with the colours it codes can be turned in its coded form: one
  // with a profile or in CMYK is shown converted, and would be saved converted.
  const bool as_coded =
      jpeg && picture.icc.empty() &&
      (picture.layout == Decoded::Layout::kBgra || picture.layout == Decoded::Layout::kGray);
  const int orientation = picture.orientation;
  ConvertToSrgb(picture);
  bool opaque = false;
  Bitmap pixels = ToBitmap(picture, opaque);
  Picture loaded(std::make_shared<const Bitmap>(std::move(pixels)), opaque);
  Metadata::ReadFrom(bytes).AttachTo(loaded);  // read from these bytes, never again
  if (as_coded)
    loaded.SetCoded(
        std::make_shared<const CodedJpeg>(CodedJpeg{std::move(bytes), orientation, ahead}));
  return loaded;
}

}  // namespace

}  // namespace platform

#include "platform/imageio/metadata.h"

#include <exiv2/exiv2.hpp>
#include <mutex>

#include "platform/base/error.h"

namespace platform {

struct MetadataBlocks {
  Exiv2::ExifData exif;
  Exiv2::XmpData xmp;
  Exiv2::IptcData iptc;
};

namespace {

void StartExiv2() {
  static std::once_flag started;
  std::call_once(started, [] {
    Exiv2::XmpParser::initialize();
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);  // its warnings are not the user's
  });
}

// Tags that describe how the source file stored its pixels, not the picture: carried
// into another file they would describe pixels that are not there.
constexpr const char* kStorageTags[] = {
    "Exif.Image.ImageWidth",
    "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.StripOffsets",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
    "Exif.Image.TileWidth",
    "Exif.Image.TileLength",
    "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts",
    "Exif.Image.InterColorProfile",
};

void Erase(Exiv2::ExifData& exif, const char* key) {
  const auto found = exif.findKey(Exiv2::ExifKey(key));
  if (found != exif.end()) exif.erase(found);
}

void MakeTrue(Exiv2::ExifData& exif, int32_t width, int32_t height) {
  for (const char* key : kStorageTags) Erase(exif, key);
  Exiv2::ExifThumb(exif).erase();  // a picture of the unturned picture
  exif["Exif.Image.Orientation"] = static_cast<uint16_t>(1);
  exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(width);
  exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(height);
  exif["Exif.Photo.ColorSpace"] = static_cast<uint16_t>(1);  // sRGB
}

void SetIfPresent(Exiv2::XmpData& xmp, const char* key, const std::string& value) {
  if (xmp.findKey(Exiv2::XmpKey(key)) != xmp.end()) xmp[key] = value;
}

void MakeTrue(Exiv2::XmpData& xmp, int32_t width, int32_t height) {
  SetIfPresent(xmp, "Xmp.tiff.Orientation", "1");
  SetIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(width));
  SetIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(height));
  SetIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(width));
  SetIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(height));
}

}  // namespace

Metadata Metadata::ReadFrom(const std::string& path) {
  StartExiv2();
  try {
    const auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    if (image->exifData().empty() && image->xmpData().empty() && image->iptcData().empty()) {
      return {};
    }
    auto blocks = std::make_shared<MetadataBlocks>();
    blocks->exif = image->exifData();
    blocks->xmp = image->xmpData();
    blocks->iptc = image->iptcData();
    Metadata metadata;
    metadata.blocks_ = std::move(blocks);
    return metadata;
  } catch (const std::exception&) {
    return {};
  }
}

void Metadata::WriteInto(const std::string& path, int32_t width, int32_t height,
                         const std::string& target) const {
  if (!blocks_) return;
  StartExiv2();
  MetadataBlocks written = *blocks_;
  MakeTrue(written.exif, width, height);
  MakeTrue(written.xmp, width, height);
  try {
    const auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();  // keeps what the encoder wrote (a TIFF's own layout)
    image->setExifData(written.exif);
    image->setXmpData(written.xmp);
    image->setIptcData(written.iptc);
    image->writeMetadata();
  } catch (const std::exception& error) {
    throw Error(ErrorNumber::kFileAccess,
                "Path/File access error: cannot write the picture's metadata (" +
                    std::string(error.what()) + ")",
                target);
  }
}

}  // namespace platform

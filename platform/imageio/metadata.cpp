#include "platform/imageio/metadata.h"

#include <exiv2/exiv2.hpp>
#include <functional>
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

// What the image `open` gives carries, into `out`; nothing when it carries nothing or
// cannot be read (a picture with damaged metadata is still a picture).
// A template rather than std::function: exiv2 0.27 hands images out as std::auto_ptr, which
// clang refuses to see named.
template <typename Open>
void ReadBlocks(const Open& open, std::shared_ptr<const MetadataBlocks>& out) {
  StartExiv2();
  try {
    const auto image = open();
    image->readMetadata();
    if (image->exifData().empty() && image->xmpData().empty() && image->iptcData().empty()) {
      return;
    }
    auto blocks = std::make_shared<MetadataBlocks>();
    blocks->exif = image->exifData();
    blocks->xmp = image->xmpData();
    blocks->iptc = image->iptcData();
    out = std::move(blocks);
  } catch (const std::exception&) {
  }
}

}  // namespace

Metadata Metadata::ReadFrom(const std::string& path) {
  Metadata metadata;
  ReadBlocks([&] { return Exiv2::ImageFactory::open(path); }, metadata.blocks_);
  return metadata;
}

Metadata Metadata::ReadFrom(const std::vector<uint8_t>& file) {
  Metadata metadata;
  if (file.empty()) return metadata;
  ReadBlocks([&] { return Exiv2::ImageFactory::open(file.data(), static_cast<long>(file.size())); },
             metadata.blocks_);
  return metadata;
}

Metadata Metadata::Of(const Picture& picture) {
  Metadata metadata;
  metadata.blocks_ = picture.metadata();
  return metadata;
}

namespace {

// exiv2 says what it leaves out through its log; only while metadata is written is that
// the user's business, so the log goes to `heard` then and is muted otherwise.
std::mutex writing;
std::vector<std::string>* heard = nullptr;

void Hear(int level, const char* message) {
  if (heard == nullptr || level < Exiv2::LogMsg::warn) return;
  std::string text(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  const size_t tag = text.find("Exif tag ");
  const size_t end = text.find(" not encoded");
  if (tag != std::string::npos && end != std::string::npos && end > tag + 9) {
    heard->push_back("the EXIF tag " + text.substr(tag + 9, end - tag - 9) +
                     " is too large for the file and was left out");
  }
}

std::string Kilobytes(size_t bytes) {
  return std::to_string((bytes + 1023) / 1024) + " kB";
}

// Which block a "JPEG segment is too large" names, and how large it is.
std::string Dropped(const std::string& what, MetadataBlocks& blocks) {
  if (what.find("XMP") != std::string::npos && !blocks.xmp.empty()) {
    std::string packet;
    Exiv2::XmpParser::encode(packet, blocks.xmp);
    blocks.xmp.clear();
    return "the XMP metadata (" + Kilobytes(packet.size()) +
           ") is larger than a JPEG file can hold and was left out";
  }
  if (what.find("IPTC") != std::string::npos && !blocks.iptc.empty()) {
    blocks.iptc.clear();
    return "the IPTC metadata is larger than a JPEG file can hold and was left out";
  }
  if (what.find("Exif") != std::string::npos && !blocks.exif.empty()) {
    blocks.exif.clear();
    return "the EXIF metadata is larger than a JPEG file can hold and was left out";
  }
  return {};
}

std::vector<uint8_t> Write(const std::vector<uint8_t>& picture, const MetadataBlocks& blocks) {
  const auto image = Exiv2::ImageFactory::open(picture.data(), static_cast<long>(picture.size()));
  image->readMetadata();  // keeps what the encoder wrote (a TIFF's own layout, the profile)
  image->setExifData(blocks.exif);
  image->setXmpData(blocks.xmp);
  image->setIptcData(blocks.iptc);
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  io.seek(0, Exiv2::BasicIo::beg);
  const Exiv2::DataBuf bytes = io.read(io.size());
  return {bytes.pData_, bytes.pData_ + bytes.size_};
}

}  // namespace

std::vector<uint8_t> Metadata::WrittenInto(const std::vector<uint8_t>& picture, int32_t width,
                                           int32_t height, const std::string& target,
                                           std::vector<std::string>& dropped) const {
  if (!blocks_) return picture;
  StartExiv2();
  MetadataBlocks written = *blocks_;
  MakeTrue(written.exif, width, height);
  MakeTrue(written.xmp, width, height);
  const std::lock_guard lock(writing);
  std::vector<std::string> left_out;  // blocks that do not fit
  std::vector<std::string> said;      // tags exiv2 left out, in the attempt that held
  heard = &said;
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
  Exiv2::LogMsg::setHandler(Hear);
  struct Mute {
    ~Mute() {
      heard = nullptr;
      Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    }
  } mute;
  // Each block too large for its JPEG segment is left out in turn, and the rest written.
  for (int attempt = 0;; ++attempt) {
    said.clear();
    try {
      std::vector<uint8_t> bytes = Write(picture, written);
      dropped.insert(dropped.end(), left_out.begin(), left_out.end());
      dropped.insert(dropped.end(), said.begin(), said.end());
      return bytes;
    } catch (const Exiv2::AnyError& error) {
      const std::string block = error.code() == Exiv2::kerTooLargeJpegSegment && attempt < 3
                                    ? Dropped(error.what(), written)
                                    : std::string();
      if (block.empty()) {
        throw Error(ErrorNumber::kFileAccess,
                    "Path/File access error: cannot write the picture's metadata (" +
                        std::string(error.what()) + ")",
                    target);
      }
      left_out.push_back(block);
    } catch (const std::exception& error) {
      throw Error(ErrorNumber::kFileAccess,
                  "Path/File access error: cannot write the picture's metadata (" +
                      std::string(error.what()) + ")",
                  target);
    }
  }
}

}  // namespace platform

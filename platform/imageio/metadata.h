// The metadata of a picture file worth keeping in what is made of it: EXIF (camera,
// exposure, dates, GPS, artist), XMP and IPTC, through exiv2.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/pixels/picture.h"

namespace platform {

class Metadata {
 public:
  Metadata() = default;

  // What `path` carries; none when it carries none or its format is one exiv2 does not
  // read. Never raises: a picture with damaged metadata is still a picture.
  static Metadata ReadFrom(const std::string& path);
  // The same, of a file's bytes already read.
  static Metadata ReadFrom(const std::vector<uint8_t>& file);
  // What a loaded picture's file carried (LoadPicture reads it with the pixels).
  static Metadata Of(const Picture& picture);
  // Attaches this to `picture`, for Of.
  void AttachTo(Picture& picture) const { picture.SetMetadata(blocks_); }

  bool empty() const { return blocks_ == nullptr; }

  // The finished picture file `picture` (the bytes of a JPEG, PNG, WebP or TIFF) with
  // this metadata in it, made true of what the file holds: upright (orientation 1),
  // `width` x `height` pixels, sRGB, without the old thumbnail. All in memory: nothing
  // touches the file system. What the format has no room for (XMP or EXIF over a JPEG
  // segment's 64 kB, a tag too large for its block) is left out, and `dropped` gets a
  // sentence naming it. Raises (75) naming `target` when exiv2 cannot write it at all.
  std::vector<uint8_t> WrittenInto(const std::vector<uint8_t>& picture, int32_t width,
                                   int32_t height, const std::string& target,
                                   std::vector<std::string>& dropped) const;

 private:
  std::shared_ptr<const MetadataBlocks> blocks_;
};

}  // namespace platform

// The metadata of a picture file worth keeping in what is made of it: EXIF (camera,
// exposure, dates, GPS, artist), XMP and IPTC, through exiv2.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct MetadataBlocks;

class Metadata {
 public:
  Metadata() = default;

  // What `path` carries; none when it carries none or its format is one exiv2 does not
  // read. Never raises: a picture with damaged metadata is still a picture.
  static Metadata ReadFrom(const std::string& path);

  bool empty() const { return blocks_ == nullptr; }

  // Writes it into the finished picture file `path` (JPEG, PNG, WebP or TIFF), made
  // true of what that file now holds: upright (orientation 1), `width` x `height`
  // pixels, sRGB, without the old thumbnail. Raises (75) naming `target`.
  void WriteInto(const std::string& path, int32_t width, int32_t height,
                 const std::string& target) const;

 private:
  std::shared_ptr<const MetadataBlocks> blocks_;
};

}  // namespace platform

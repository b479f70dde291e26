// The encoders: each writes an OutputPicture into an OutputFile in its format, marked as
// sRGB, and raises (75) naming the target when the file cannot be written.
#pragma once

#include <optional>

#include "platform/imageio/output_rows.h"
#include "platform/imageio/safe_write.h"

namespace platform {

// The quality asked for, 1 to 100; none: the format's default (JPEG 92, WebP lossless,
// HEIC and AVIF 90).
using Quality = std::optional<int>;

void WriteJpeg(const OutputPicture& picture, Quality quality, OutputFile& file);
void WritePng(const OutputPicture& picture, OutputFile& file);
void WriteWebp(const OutputPicture& picture, Quality quality, OutputFile& file);
// HEIC (`avif` false) or AVIF through libheif.
void WriteHeif(const OutputPicture& picture, Quality quality, bool avif, OutputFile& file);
// TIFF or BMP through the toolkit's writers.
void WriteWithToolkit(const OutputPicture& picture, const char* format, OutputFile& file);

}  // namespace platform

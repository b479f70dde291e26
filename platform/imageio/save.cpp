#include "platform/imageio/save.h"

#include "platform/base/error.h"
#include "platform/imageio/safe_write.h"

namespace platform {

namespace {

const char* NameOf(OutputFormat format) {
  return format == OutputFormat::kHeic ? "HEIC" : "AVIF";
}

bool HoldsMetadata(OutputFormat format) {
  switch (format) {
    case OutputFormat::kJpeg:
    case OutputFormat::kPng:
    case OutputFormat::kWebp:
    case OutputFormat::kTiff:
      return true;
    default:
      return false;
  }
}

void Encode(OutputFormat format, const OutputPicture& picture, Quality quality, OutputFile& file) {
  switch (format) {
    case OutputFormat::kPng:
      return WritePng(picture, file);
    case OutputFormat::kJpeg:
      return WriteJpeg(picture, quality, file);
    case OutputFormat::kWebp:
      return WriteWebp(picture, quality, file);
    case OutputFormat::kTiff:
      return WriteWithToolkit(picture, "tiff", file);
    case OutputFormat::kBmp:
      return WriteWithToolkit(picture, "bmp", file);
    case OutputFormat::kHeic:
    case OutputFormat::kAvif:
      return WriteHeif(picture, quality, format == OutputFormat::kAvif, file);
  }
}

}  // namespace

void CheckWritable(const std::string& path) {
  const OutputFormat format = OutputFormatOf(path);
  if (!CanWrite(format)) {
    throw Error(ErrorNumber::kInvalidProcedureCall,
                std::string("Invalid procedure call or argument: this machine's libheif has no ") +
                    NameOf(format) + " encoder",
                path);
  }
}

SaveWarnings SavePicture(const OutputPicture& picture, const std::string& path,
                         const SaveOptions& options) {
  CheckWritable(path);
  const OutputFormat format = OutputFormatOf(path);
  OutputPicture written = picture;
  written.alpha = picture.alpha && HoldsAlpha(format);
  SaveWarnings warnings;
  WriteReplacing(path, [&](OutputFile& file) {
    if (!HoldsMetadata(format) || options.metadata.empty()) {
      return Encode(format, written, options.quality, file);
    }
    // The metadata goes in on the encoded bytes in memory, and the result reaches the
    // file through the same checked writes as any picture: a short write is always seen.
    std::vector<uint8_t> encoded;
    OutputFile memory;
    memory.target = path;
    memory.memory = &encoded;
    Encode(format, written, options.quality, memory);
    const std::vector<uint8_t> whole =
        options.metadata.WrittenInto(encoded, written.width(), written.height(), path, warnings);
    WriteAll(file, whole.data(), whole.size());
  });
  return warnings;
}

SaveWarnings SaveFile(const std::vector<uint8_t>& file, int32_t width, int32_t height,
                      const std::string& path, const Metadata& metadata) {
  SaveWarnings warnings;
  WriteReplacing(path, [&](OutputFile& out) {
    if (!HoldsMetadata(OutputFormatOf(path)) || metadata.empty()) {
      return WriteAll(out, file.data(), file.size());
    }
    const std::vector<uint8_t> whole = metadata.WrittenInto(file, width, height, path, warnings);
    WriteAll(out, whole.data(), whole.size());
  });
  return warnings;
}

}  // namespace platform

// WebP through libwebp (lossless unless a quality is asked for), its sRGB profile added
// as a chunk of its own through libwebpmux.
#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/base/error.h"
#include "platform/imageio/colour.h"
#include "platform/imageio/encoders.h"

namespace platform {

namespace {

[[noreturn]] void Fail(const std::string& why, const std::string& target) {
  throw Error(ErrorNumber::kFileAccess,
              "Path/File access error: cannot write the picture (" + why + ")", target);
}

struct PictureFree {
  void operator()(WebPPicture* picture) const { WebPPictureFree(picture); }
};
struct MuxDelete {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// The picture's samples, straight BGRA, as libwebp imports them.
std::vector<uint8_t> Samples(const OutputPicture& picture) {
  const size_t row_bytes = static_cast<size_t>(picture.width()) * 4;
  std::vector<uint8_t> samples(row_bytes * picture.height());
  ForEachOutputRow(picture, Samples::kBgra, [&](int32_t y, const uint8_t* row) {
    std::copy(row, row + row_bytes, samples.begin() + static_cast<ptrdiff_t>(row_bytes * y));
  });
  return samples;
}

std::vector<uint8_t> Encode(const OutputPicture& picture, Quality quality,
                            const std::string& target) {
  WebPConfig config;
  if (!WebPConfigInit(&config)) Fail("libwebp's version does not match", target);
  if (quality) {
    config.quality = static_cast<float>(*quality);
  } else {
    WebPConfigLosslessPreset(&config, 2);  // 0 fastest to 9 smallest; 6 is libwebp's
  }
  WebPPicture in;
  if (!WebPPictureInit(&in)) Fail("libwebp's version does not match", target);
  const std::unique_ptr<WebPPicture, PictureFree> owned(&in);
  in.use_argb = 1;
  in.width = picture.width();
  in.height = picture.height();
  const std::vector<uint8_t> samples = Samples(picture);
  if (!WebPPictureImportBGRA(&in, samples.data(), picture.width() * 4)) {
    throw Error(ErrorNumber::kOutOfMemory, "Out of memory", target);
  }
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  in.writer = WebPMemoryWrite;
  in.custom_ptr = &writer;
  const bool done = WebPEncode(&config, &in) != 0;
  std::vector<uint8_t> bytes(writer.mem, writer.mem + writer.size);
  WebPMemoryWriterClear(&writer);
  if (!done) Fail("libwebp error " + std::to_string(in.error_code), target);
  return bytes;
}

}  // namespace

void WriteWebp(const OutputPicture& picture, Quality quality, OutputFile& file) {
  const std::vector<uint8_t> image = Encode(picture, quality, file.target);
  const std::unique_ptr<WebPMux, MuxDelete> mux(WebPMuxNew());
  const std::string& profile = SrgbProfile();
  const WebPData image_data{image.data(), image.size()};
  const WebPData profile_data{reinterpret_cast<const uint8_t*>(profile.data()), profile.size()};
  WebPData assembled{nullptr, 0};
  if (!mux || WebPMuxSetImage(mux.get(), &image_data, 0) != WEBP_MUX_OK ||
      WebPMuxSetChunk(mux.get(), "ICCP", &profile_data, 0) != WEBP_MUX_OK ||
      WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK) {
    WebPDataClear(&assembled);
    Fail("libwebpmux cannot assemble the file", file.target);
  }
  try {
    WriteAll(file, assembled.bytes, assembled.size);
  } catch (...) {
    WebPDataClear(&assembled);
    throw;
  }
  WebPDataClear(&assembled);
}

}  // namespace platform

// HEIC and AVIF through libheif and whichever encoder it has for each (x265, aom).
#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/base/error.h"
#include "platform/imageio/colour.h"
#include "platform/imageio/encoders.h"

namespace platform {

namespace {

constexpr int kDefaultQuality = 90;

[[noreturn]] void Fail(const std::string& why, const std::string& target) {
  throw Error(ErrorNumber::kFileAccess,
              "Path/File access error: cannot write the picture (" + why + ")", target);
}

void Check(const heif_error& error, const std::string& target) {
  if (error.code != heif_error_Ok) Fail(error.message, target);
}

struct ContextFree {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct ImageRelease {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct EncoderRelease {
  void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};

struct Sink {
  OutputFile* file;
  std::exception_ptr error;
};

extern "C" heif_error WriteHeifBytes(heif_context*, const void* data, size_t size, void* user) {
  auto* sink = static_cast<Sink*>(user);
  try {
    WriteAll(*sink->file, data, size);
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
  } catch (...) {
    sink->error = std::current_exception();
    return {heif_error_Encoding_error, heif_suberror_Cannot_write_output_data, "write failed"};
  }
}

std::unique_ptr<heif_image, ImageRelease> HeifImage(const OutputPicture& picture,
                                                const std::string& target) {
  heif_image* raw = nullptr;
  Check(heif_image_create(
            picture.width(), picture.height(), heif_colorspace_RGB,
            picture.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &raw),
        target);
  std::unique_ptr<heif_image, ImageRelease> image(raw);
  Check(heif_image_add_plane(raw, heif_channel_interleaved, picture.width(), picture.height(), 8),
        target);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
  const Samples samples = picture.alpha ? Samples::kRgba : Samples::kRgb;
  const size_t row_bytes = static_cast<size_t>(picture.width()) * BytesPerSample(samples);
  ForEachOutputRow(picture, samples, [&](int32_t y, const uint8_t* row) {
    std::memcpy(plane + static_cast<ptrdiff_t>(y) * stride, row, row_bytes);
  });
  const std::string& profile = SrgbProfile();
  Check(heif_image_set_raw_color_profile(raw, "prof", profile.data(), profile.size()), target);
  return image;
}

}  // namespace

void WriteHeif(const OutputPicture& picture, Quality quality, bool avif, OutputFile& file) {
  const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  heif_encoder* raw_encoder = nullptr;
  Check(heif_context_get_encoder_for_format(
            context.get(), avif ? heif_compression_AV1 : heif_compression_HEVC, &raw_encoder),
        file.target);
  const std::unique_ptr<heif_encoder, EncoderRelease> encoder(raw_encoder);
  Check(heif_encoder_set_lossy_quality(raw_encoder, quality.value_or(kDefaultQuality)),
        file.target);
  // The encoders' defaults are tuned for video archives and take minutes on a large
  // photograph; these settings take seconds. A setting an encoder lacks is left alone.
  heif_encoder_set_parameter_string(raw_encoder, "preset", "fast");
  heif_encoder_set_parameter_integer(raw_encoder, "speed", 8);
  const auto image = HeifImage(picture, file.target);
  Check(heif_context_encode_image(context.get(), image.get(), raw_encoder, nullptr, nullptr),
        file.target);
  Sink sink{&file, nullptr};
  heif_writer writer{1, WriteHeifBytes};
  const heif_error written = heif_context_write(context.get(), &writer, &sink);
  if (sink.error) std::rethrow_exception(sink.error);
  Check(written, file.target);
}

}  // namespace platform

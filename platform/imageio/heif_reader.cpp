#include "platform/imageio/heif_reader.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>

#include "platform/base/error.h"
#include "platform/imageio/limits.h"

namespace platform {

namespace {

struct ContextFree {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
  void operator()(heif_image* image) const { heif_image_release(image); }
};

void Check(heif_error error, const std::string& path) {
  if (error.code != heif_error_Ok) {
    throw Error(ErrorNumber::kInvalidPicture, std::string("Invalid picture: ") + error.message,
                path);
  }
}

std::string ProfileOf(const heif_image_handle* handle) {
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
  std::string profile(heif_image_handle_get_raw_color_profile_size(handle), '\0');
  if (profile.empty() ||
      heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok) {
    return {};
  }
  return profile;
}

}  // namespace

bool IsHeif(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 12 || std::memcmp(&bytes[4], "ftyp", 4) != 0) return false;
  const heif_filetype_result type =
      heif_check_filetype(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 64)));
  return type == heif_filetype_yes_supported || type == heif_filetype_maybe;
}

Decoded ReadHeif(const std::vector<uint8_t>& bytes, const std::string& path) {
  const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  if (!context) throw std::bad_alloc();
  Check(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                   nullptr),
        path);
  heif_image_handle* raw_handle = nullptr;
  Check(heif_context_get_primary_image_handle(context.get(), &raw_handle), path);
  const std::unique_ptr<heif_image_handle, HandleRelease> handle(raw_handle);
  CheckPictureSize(heif_image_handle_get_width(handle.get()),
                   heif_image_handle_get_height(handle.get()), path);
  heif_image* raw_image = nullptr;
  const heif_error decoded = heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                                               heif_chroma_interleaved_RGBA, nullptr);
  const std::unique_ptr<heif_image, ImageRelease> image(raw_image);  // owned even on failure
  Check(decoded, path);
  Decoded out;
  out.width = heif_image_get_width(image.get(), heif_channel_interleaved);
  out.height = heif_image_get_height(image.get(), heif_channel_interleaved);
  CheckPictureSize(out.width, out.height, path);
  int stride = 0;
  const uint8_t* rows =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (rows == nullptr || out.width <= 0 || out.height <= 0) {
    throw Error(ErrorNumber::kInvalidPicture, "Invalid picture: no pixels", path);
  }
  out.layout = Decoded::Layout::kBgra;
  uint8_t* const samples = out.Allocate(path);
  for (int32_t y = 0; y < out.height; ++y) {
    const uint8_t* from = rows + static_cast<size_t>(y) * stride;
    uint8_t* to = samples + static_cast<size_t>(y) * out.width * 4;
    for (int32_t x = 0; x < out.width; ++x, from += 4, to += 4) {
      to[0] = from[2], to[1] = from[1], to[2] = from[0], to[3] = from[3];
    }
  }
  out.icc = ProfileOf(handle.get());
  return out;  // libheif has already turned it upright
}

}  // namespace platform

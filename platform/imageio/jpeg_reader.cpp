#include "platform/imageio/jpeg_reader.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <csetjmp>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <cstring>

#include "platform/base/error.h"
#include "platform/imageio/exif.h"
#include "platform/imageio/limits.h"

namespace platform {

namespace {

// libjpeg reports errors through a callback that must not return: it jumps back to the
// reader, which then raises. Between the jump's setting and the jump only C code runs.
struct Errors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool cut_short;
};

extern "C" void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<Errors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings are mostly harmless (a stray byte before a marker), but data that ends early
// leaves the rest of the picture grey: that is a damaged picture, not a picture.
extern "C" void OnMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<Errors*>(info->err);
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF && !errors->cut_short) {
    errors->cut_short = true;
    (*info->err->format_message)(info, errors->message);
  }
}

constexpr int kApp1 = JPEG_APP0 + 1;
constexpr int kApp2 = JPEG_APP0 + 2;

int OrientationOf(const jpeg_decompress_struct& info) {
  for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker == kApp1) {
      const int orientation = ExifOrientation(marker->data, marker->data_length);
      if (orientation != 1) return orientation;
    }
  }
  return 1;
}

std::string ProfileOf(jpeg_decompress_struct& info) {
  JOCTET* data = nullptr;
  unsigned int length = 0;
  if (!jpeg_read_icc_profile(&info, &data, &length)) return {};
  std::string profile(reinterpret_cast<const char*>(data), length);
  std::free(data);
  return profile;
}

// Everything libjpeg can jump out of. Returns false with `errors.message` set.
bool Decode(jpeg_decompress_struct& info, Errors& errors, const std::vector<uint8_t>& bytes,
            Decoded& out, const std::string& path) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&info, kApp1, 0xFFFF);
  jpeg_save_markers(&info, kApp2, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  CheckPictureSize(info.image_width, info.image_height, path);
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.out_color_space = JCS_GRAYSCALE;
      out.layout = Decoded::Layout::kGray;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      out.layout = info.saw_Adobe_marker ? Decoded::Layout::kCmykInverted : Decoded::Layout::kCmyk;
      break;
    default:
      info.out_color_space = JCS_EXT_BGRA;
      out.layout = Decoded::Layout::kBgra;
  }
  out.opaque = true;  // JPEG has no alpha: the decoder writes it full
  jpeg_start_decompress(&info);
  out.width = static_cast<int32_t>(info.output_width);
  out.height = static_cast<int32_t>(info.output_height);
  const size_t stride = static_cast<size_t>(out.width) * out.BytesPerPixel();
  uint8_t* const samples = out.Allocate(path);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[16];
    const JDIMENSION first = info.output_scanline;
    const JDIMENSION count = std::min<JDIMENSION>(16, info.output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = samples + (first + i) * stride;
    jpeg_read_scanlines(&info, rows, count);
    if (errors.cut_short) return false;
  }
  out.orientation = OrientationOf(info);
  out.icc = ProfileOf(info);
  jpeg_finish_decompress(&info);
  return !errors.cut_short;
}

}  // namespace

bool IsJpeg(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

Decoded ReadJpeg(const std::vector<uint8_t>& bytes, const std::string& path) {
  jpeg_decompress_struct info{};
  Errors errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = OnError;
  errors.manager.emit_message = OnMessage;
  jpeg_create_decompress(&info);
  Decoded out;
  bool done = false;
  try {
    done = Decode(info, errors, bytes, out, path);
  } catch (...) {
    jpeg_destroy_decompress(&info);
    throw;
  }
  jpeg_destroy_decompress(&info);
  if (!done) {
    throw Error(ErrorNumber::kInvalidPicture,
                std::string("Invalid picture: ") +
                    (errors.cut_short
                         ? "the picture's data ends early (" + std::string(errors.message) + ")"
                         : std::string(errors.message)),
                path);
  }
  return out;
}

}  // namespace platform

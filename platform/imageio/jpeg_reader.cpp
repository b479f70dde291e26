#include "platform/imageio/jpeg_reader.h"

#include <jerror.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/base/error.h"
#include "platform/imageio/exif.h"
#include "platform/imageio/jpeg_errors.h"
#include "platform/imageio/limits.h"
#include "platform/pixels/parallel.h"

namespace platform {

namespace {

// A progressive picture is decoded scan by scan over the whole picture; each scan of a
// large one costs a pass over all of it. Real encoders write ten or so; a file that
// repeats a scan thousands of times would take hours.
constexpr int kMaxScans = 500;

struct Progress {
  jpeg_progress_mgr manager;
  JpegErrors* errors;
};

extern "C" void OnProgress(j_common_ptr info) {
  if (info->is_decompressor == 0) return;
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number <= kMaxScans) return;
  auto* progress = reinterpret_cast<Progress*>(info->progress);
  progress->errors->many_scans = true;
  std::longjmp(progress->errors->jump, 1);
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

// The start-of-scan markers in the file, counted without decoding: the entropy-coded data
// between markers holds 0xFF only as 0xFF 0x00 or a restart marker. Stops counting past
// `limit`.
int CountScans(const std::vector<uint8_t>& bytes, int limit) {
  int scans = 0;
  for (size_t at = 2; at + 1 < bytes.size() && scans <= limit; ++at) {
    if (bytes[at] != 0xFF) continue;
    const uint8_t marker = bytes[at + 1];
    if (marker == 0x00 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xDA) ++scans;
    if (marker == 0xD9) break;
    // Every segment but SOI, EOI and TEM carries its length: what it holds is skipped.
    if (marker != 0xD8 && marker != 0x01 && at + 3 < bytes.size()) {
      at += 1 + static_cast<size_t>(bytes[at + 2] << 8 | bytes[at + 3]);
    }
  }
  return scans;
}

// A picture coded in one scan (baseline, as cameras and phones write) and this large is
// decoded on two threads, each with a decoder of its own: one from the top, the other
// from a row further down, which it reaches by reading the coded data before it without
// working out its pixels (less than half the cost of decoding it).
constexpr int64_t kTwoDecodersPixels = int64_t{1} << 21;

// What passing over a row costs the lower decoder, against decoding it: a little more
// than measured on camera photos, so that the upper one rather finishes first.
constexpr double kPassingCost = 0.4;

// Between the two decoders: the upper one takes rows in turn and stops at `limit`, which
// the lower one sets once, at a row the upper one has not taken yet.
struct Split {
  std::mutex mutex;
  JDIMENSION taken = 0;  // rows the upper decoder has done or is doing
  JDIMENSION limit;      // where it stops
};

// The rows of a started decoder from its current one to the split's limit (or to the
// end) into `samples`, 16 at a time. False with `errors.message` set on a failure.
bool ReadRows(jpeg_decompress_struct& info, JpegErrors& errors, uint8_t* samples, size_t stride,
              Split* split) {
  if (setjmp(errors.jump) != 0) return false;
  for (;;) {
    const JDIMENSION first = info.output_scanline;
    JDIMENSION count = 0;
    if (split == nullptr) {
      count = std::min<JDIMENSION>(16, info.output_height - first);
    } else {
      std::lock_guard lock(split->mutex);
      count = first < split->limit ? std::min<JDIMENSION>(16, split->limit - first) : 0;
      split->taken = std::max(split->taken, first + count);
    }
    if (count == 0) return true;
    JSAMPROW rows[16];
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = samples + (first + i) * stride;
    jpeg_read_scanlines(&info, rows, count);
  }
}

// The lower decoder: its own decoder over the same bytes, in the same colours, from the
// row where the two are expected to finish together, given how far the upper one is.
// True when done, or when too little is left to be worth it (the upper one then goes on
// to the end); false with `errors.message` set on a failure.
bool ReadLowerRows(const std::vector<uint8_t>& bytes, J_COLOR_SPACE colours, uint8_t* samples,
                   size_t stride, Split& split, JpegErrors& errors) {
  jpeg_decompress_struct info{};
  info.err = Watching(errors);
  jpeg_create_decompress(&info);
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = colours;
  jpeg_start_decompress(&info);
  const JDIMENSION height = info.output_height;
  const auto group = static_cast<JDIMENSION>(info.max_v_samp_factor * DCTSIZE);
  JDIMENSION from = height;
  {
    std::lock_guard lock(split.mutex);
    const double balanced = (height + split.taken) / (2.0 - kPassingCost);
    const auto at = static_cast<JDIMENSION>(balanced) / group * group + group;
    if (at > split.taken && at + 4 * group < height) from = split.limit = at;
  }
  if (from < height) {
    jpeg_skip_scanlines(&info, from);
    if (!ReadRows(info, errors, samples, stride, nullptr)) {
      jpeg_destroy_decompress(&info);
      return false;
    }
    if (setjmp(errors.jump) != 0) {
      jpeg_destroy_decompress(&info);
      return false;
    }
    jpeg_finish_decompress(&info);  // the data's end checked, as one decoder would
  }
  jpeg_destroy_decompress(&info);
  return true;
}

// The header alone, for its orientation; 1 when it cannot be read.
int HeaderOrientation(jpeg_decompress_struct& info, JpegErrors& errors,
                      const std::vector<uint8_t>& bytes) {
  if (setjmp(errors.jump) != 0) return 1;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&info, kApp1, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  return OrientationOf(info);
}

// Everything libjpeg can jump out of. Returns false with `errors.message` set.
bool Decode(jpeg_decompress_struct& info, JpegErrors& errors, const std::vector<uint8_t>& bytes,
            Decoded& out, const std::string& path) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&info, kApp1, 0xFFFF);
  jpeg_save_markers(&info, kApp2, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  CheckPictureSize(info.image_width, info.image_height, path);
  if (jpeg_has_multiple_scans(&info) && CountScans(bytes, kMaxScans) > kMaxScans) {
    errors.many_scans = true;
    return false;
  }
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
  out.orientation = OrientationOf(info);
  out.icc = ProfileOf(info);
  const size_t stride = static_cast<size_t>(out.width) * out.BytesPerPixel();
  uint8_t* const samples = out.Allocate(path);
  const int64_t pixels = int64_t{out.width} * out.height;
  if (jpeg_has_multiple_scans(&info) || pixels < kTwoDecodersPixels) {
    if (!ReadRows(info, errors, samples, stride, nullptr)) return false;
  } else {
    // Two bands of work for whichever threads are free: with one, the upper decoder does
    // every row and the lower one finds nothing left worth taking.
    Split split;
    split.limit = info.output_height;
    JpegErrors lower{};
    bool upper_done = true, lower_done = true;
    const J_COLOR_SPACE colours = info.out_color_space;
    ForRowBands(2, pixels, [&](int32_t band, int32_t) {
      if (band == 0) {
        upper_done = ReadRows(info, errors, samples, stride, &split);
      } else {
        lower_done = ReadLowerRows(bytes, colours, samples, stride, split, lower);
      }
    });
    if (!lower_done) {
      std::memcpy(errors.message, lower.message, sizeof errors.message);
      errors.damaged = lower.damaged;
      return false;
    }
    if (!upper_done) return false;
    if (info.output_scanline < info.output_height) return true;  // the lower one checked the end
  }
  if (setjmp(errors.jump) != 0) return false;
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

bool IsJpeg(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

int JpegOrientation(const std::vector<uint8_t>& bytes) {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  info.err = Watching(errors);
  jpeg_create_decompress(&info);
  const int orientation = HeaderOrientation(info, errors, bytes);
  jpeg_destroy_decompress(&info);
  return orientation;
}

Decoded ReadJpeg(const std::vector<uint8_t>& bytes, const std::string& path) {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  info.err = Watching(errors);
  jpeg_create_decompress(&info);
  Progress progress{{OnProgress, 0, 0, 0, 0}, &errors};
  info.progress = &progress.manager;
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
    const std::string why =
        errors.many_scans ? "the picture is made of more than " + std::to_string(kMaxScans) +
                                " scans, more than any encoder writes"
        : errors.damaged
            ? "the picture's data is damaged or ends early (" + std::string(errors.message) + ")"
            : std::string(errors.message);
    throw Error(ErrorNumber::kInvalidPicture, "Invalid picture: " + why, path);
  }
  return out;
}

}  // namespace platform

// JPEG through libjpeg-turbo, encoded in horizontal strips on all cores at once.
//
// A JPEG with restart markers is a run of independent pieces: at each marker the
// encoder's state starts afresh. A strip encoded as a picture of its own is exactly such
// a piece, so strips encoded side by side and joined with restart markers make the file
// one encoder would have made with that restart interval. The evaluator works each strip
// out on the thread that encodes it, so the picture is never held whole.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/error.h"
#include "platform/imageio/colour.h"
#include "platform/imageio/encoders.h"
#include "platform/imageio/jpeg_errors.h"
#include "platform/pixels/evaluator.h"

namespace platform {

namespace {

constexpr int kDefaultQuality = 92;
// From this quality up the colours keep full resolution, as other encoders do by default:
// halving them would cost more than the quality asked for gains.
constexpr int kFullColourFrom = 90;
// Rows of a strip, about: enough work to pay for a thread, few enough strips to share out.
constexpr int kStripRows = 256;
constexpr unsigned kMaxRestartInterval = 65535;
// Rows taken from the evaluator at a time: few, so that the strip is never held whole,
// and not too few, since a sharp turn works each area out with rows around it that it
// would work out again for the next.
constexpr int32_t kRowsAtATime = 32;

struct Layout {
  int quality;
  bool full_colour;
  int mcu_rows;          // pixel rows of one row of MCUs
  int strip_rows;        // a multiple of mcu_rows
  int strips = 1;        // of strip_rows each, the last one maybe fewer
  unsigned restart = 0;  // MCUs between restart markers; 0: one strip, no markers
};

Layout LayoutFor(const OutputPicture& picture, Quality quality) {
  Layout layout;
  layout.quality = quality.value_or(kDefaultQuality);
  layout.full_colour = layout.quality >= kFullColourFrom;
  layout.mcu_rows = layout.full_colour ? 8 : 16;
  const unsigned across =
      static_cast<unsigned>((picture.width() + layout.mcu_rows - 1) / layout.mcu_rows);
  const unsigned mcu_rows_fit = kMaxRestartInterval / std::max(across, 1u);
  const unsigned wanted = kStripRows / layout.mcu_rows;
  const unsigned strip_mcu_rows = std::min(wanted, mcu_rows_fit);
  layout.strip_rows = static_cast<int>(std::max(strip_mcu_rows, 1u)) * layout.mcu_rows;
  if (strip_mcu_rows >= 1 && picture.height() > layout.strip_rows) {
    layout.restart = across * strip_mcu_rows;
  } else {
    layout.strip_rows = picture.height();  // one strip: too small, or too wide to split
  }
  layout.strips = (picture.height() + layout.strip_rows - 1) / std::max(layout.strip_rows, 1);
  return layout;
}

// Everything libjpeg can jump out of: one strip, rows [top, bottom) of the picture, as a
// JPEG of its own. Returns false with `errors.message` set. Between the jump's setting and
// a jump only C code and the reading of rows already worked out run.
bool EncodeStrip(jpeg_compress_struct& info, JpegErrors& errors, int32_t width, int32_t height,
                 const StripRows& rows, const Layout& layout, bool first, unsigned char** bytes,
                 unsigned long* size) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_mem_dest(&info, bytes, size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, layout.quality, TRUE);
  if (layout.full_colour) {
    for (int c = 0; c < info.num_components; ++c) {
      info.comp_info[c].h_samp_factor = 1;
      info.comp_info[c].v_samp_factor = 1;
    }
  }
  jpeg_start_compress(&info, TRUE);
  if (first) {
    const std::string& profile = SrgbProfile();
    jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(profile.data()),
                           static_cast<unsigned int>(profile.size()));
  }
  // A few rows at a time from the evaluator: the strip is never held whole.
  for (int32_t y = 0; y < height; y += kRowsAtATime) {
    const ConstPixelView pixels = rows(y, std::min(kRowsAtATime, height - y));
    for (int32_t k = 0; k < pixels.height; ++k) {
      // libjpeg only reads the row; the store's own bytes are B G R A.
      auto* row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(pixels.row(k)));
      jpeg_write_scanlines(&info, &row, 1);
    }
  }
  jpeg_finish_compress(&info);
  return true;
}

// One strip's rows as a JPEG of its own.
std::vector<uint8_t> Strip(int32_t width, int32_t height, const StripRows& rows,
                           const Layout& layout, bool first, const std::string& target) {
  jpeg_compress_struct info{};
  JpegErrors errors{};
  info.err = Watching(errors);
  jpeg_create_compress(&info);
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  bool done = false;
  try {
    done = EncodeStrip(info, errors, width, height, rows, layout, first, &bytes, &size);
  } catch (...) {
    jpeg_destroy_compress(&info);
    std::free(bytes);
    throw;
  }
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(bytes, bytes + (done ? size : 0));
  std::free(bytes);
  if (!done) {
    throw Error(
        ErrorNumber::kFileAccess,
        "Path/File access error: cannot write the picture (" + std::string(errors.message) + ")",
        target);
  }
  return out;
}

// Where the strip's scan header (SOS) starts, and where its coded data starts and ends.
struct Scan {
  size_t header, data, end;
};

Scan FindScan(const std::vector<uint8_t>& strip) {
  size_t at = 2;  // after SOI; every segment before the scan carries its length
  while (at + 4 <= strip.size() && strip[at] == 0xFF) {
    const size_t length = static_cast<size_t>(strip[at + 2] << 8 | strip[at + 3]);
    if (strip[at + 1] == 0xDA) return {at, at + 2 + length, strip.size() - 2};  // before EOI
    at += 2 + length;
  }
  throw std::logic_error("libjpeg wrote a JPEG without a scan");
}

// The first strip's headers made to describe the whole picture: its height, and the
// restart interval that joins the strips.
std::vector<uint8_t> Header(const std::vector<uint8_t>& first, const Scan& scan, int32_t height,
                            unsigned restart) {
  std::vector<uint8_t> header(first.begin(), first.begin() + static_cast<ptrdiff_t>(scan.header));
  for (size_t at = 2; at + 9 <= header.size();) {
    const uint8_t marker = header[at + 1];
    if (marker == 0xC0 || marker == 0xC1) {  // SOF: precision, then the height
      header[at + 5] = static_cast<uint8_t>(height >> 8);
      header[at + 6] = static_cast<uint8_t>(height & 0xFF);
    }
    at += 2 + static_cast<size_t>(header[at + 2] << 8 | header[at + 3]);
  }
  const uint8_t dri[] = {0xFF,
                         0xDD,
                         0x00,
                         0x04,
                         static_cast<uint8_t>(restart >> 8),
                         static_cast<uint8_t>(restart & 0xFF)};
  header.insert(header.end(), std::begin(dri), std::end(dri));
  header.insert(header.end(), first.begin() + static_cast<ptrdiff_t>(scan.header),
                first.begin() + static_cast<ptrdiff_t>(scan.data));
  return header;
}

// The strips, each worked out and encoded on one of the evaluator's threads and handed to
// `done` with its index, in whatever order they finish.
using StripDone = std::function<void(size_t index, std::vector<uint8_t> strip)>;
void Strips(const OutputPicture& picture, const Layout& layout, const std::string& target,
            const StripDone& done) {
  if (layout.strips == 1) {
    // One strip: its rows worked out over the cores as libjpeg takes them.
    std::vector<uint32_t> room;
    const StripRows rows = [&](int32_t y, int32_t n) {
      const int32_t width = picture.width();
      room.resize(static_cast<size_t>(width) * n);
      const PixelRect part{picture.area.left, picture.area.top + y, picture.area.right,
                           picture.area.top + y + n};
      RealizeArea(picture.image, part, {room.data(), width, width, n});
      return ConstPixelView{room.data(), width, width, n};
    };
    done(0, Strip(picture.width(), picture.height(), rows, layout, true, target));
    return;
  }
  RealizeStripsByRows(picture.image, picture.area, layout.strip_rows,
                      [&](int32_t top, int32_t height, const StripRows& rows) {
                        done(static_cast<size_t>(top / layout.strip_rows),
                             Strip(picture.width(), height, rows, layout, top == 0, target));
                      });
}

// Writes the strips into one file as they come, each once those above it are written, so
// that only the strips that finish early are held, not the whole coded picture.
class InOrder {
 public:
  InOrder(const OutputPicture& picture, const Layout& layout, OutputFile& file)
      : height_(picture.height()),
        count_(static_cast<size_t>(layout.strips)),
        restart_(layout.restart),
        file_(file) {}

  void Take(size_t index, std::vector<uint8_t> strip) {
    std::lock_guard lock(mutex_);
    waiting_[index] = std::move(strip);
    for (auto next = waiting_.find(written_); next != waiting_.end();
         next = waiting_.find(written_)) {
      try {
        Write(next->second);
      } catch (...) {
        written_ = count_;  // the file is given up: nothing more goes into it
        throw;
      }
      waiting_.erase(next);
      ++written_;
    }
  }

 private:
  void Write(const std::vector<uint8_t>& strip) {
    if (count_ == 1) return WriteAll(file_, strip.data(), strip.size());
    const Scan scan = FindScan(strip);
    if (written_ == 0) {
      const std::vector<uint8_t> header = Header(strip, scan, height_, restart_);
      WriteAll(file_, header.data(), header.size());
    }
    WriteAll(file_, strip.data() + scan.data, scan.end - scan.data);
    const uint8_t marker[] = {
        0xFF, static_cast<uint8_t>(written_ + 1 < count_ ? 0xD0 + written_ % 8 : 0xD9)};
    WriteAll(file_, marker, 2);
  }

  const int32_t height_;
  const size_t count_;
  const unsigned restart_;
  OutputFile& file_;
  std::mutex mutex_;
  std::map<size_t, std::vector<uint8_t>> waiting_;
  size_t written_ = 0;
};

}  // namespace

void WriteJpeg(const OutputPicture& picture, Quality quality, OutputFile& file) {
  const Layout layout = LayoutFor(picture, quality);
  InOrder writer(picture, layout, file);
  Strips(picture, layout, file.target,
         [&](size_t index, std::vector<uint8_t> strip) { writer.Take(index, std::move(strip)); });
}

}  // namespace platform

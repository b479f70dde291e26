#include "platform/pixels/image.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <stdexcept>

#include "platform/pixels/blend.h"
#include "platform/pixels/image_nodes.h"
#include "platform/pixels/kernels.h"
#include "platform/pixels/sharp.h"

namespace platform {

namespace {

uint64_t NextSerial() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

const Image kNoImage;

}  // namespace

PixelRect Intersect(PixelRect a, PixelRect b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

PixelStore::PixelStore(int32_t width, int32_t height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {
  // Exactly what is asked, and unwritten (the allocator constructs nothing).
  pixels_.reserve(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
}

ImageNode::ImageNode(int32_t width, int32_t height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), serial_(NextSerial()) {}

const Image& ImageNode::Input(size_t) const {
  return kNoImage;
}

PixelRect ImageNode::InputArea(size_t, PixelRect) const {
  return {0, 0, 0, 0};
}

Image ImageNode::Rebuilt(const std::vector<Image>&) const {
  return nullptr;
}

Image CopiedRowsNode::Rebuilt(const std::vector<Image>& in) const {
  return std::make_shared<CopiedRowsNode>(in[0], in[1], copy_);
}
Image TransposedNode::Rebuilt(const std::vector<Image>& in) const {
  return std::make_shared<TransposedNode>(in[0], in[1], t_);
}
Image DrawnNode::Rebuilt(const std::vector<Image>& in) const {
  return std::make_shared<DrawnNode>(in[0], in[1], map_, resampling_);
}
Image PastedNode::Rebuilt(const std::vector<Image>& in) const {
  return std::make_shared<PastedNode>(in[0], in[1], rects_, count_);
}
Image CompositedNode::Rebuilt(const std::vector<Image>& in) const {
  return std::make_shared<CompositedNode>(in[0], in[1], x_, y_);
}
Image CoverageAlphaNode::Rebuilt(const std::vector<Image>& in) const {
  return std::make_shared<CoverageAlphaNode>(in[0], in[1]);
}
Image HalvedNode::Rebuilt(const std::vector<Image>& in) const {
  return std::make_shared<HalvedNode>(in[0]);
}

namespace {

// `image` rebuilt over its inputs as they are rebuilt; each node rebuilt once however
// often it is read, so that what was shared stays shared. `own(node, inputs)` may make a
// node anew itself (null: rebuilt as it is, when an input changed).
template <typename Own>
Image RebuiltIn(const Image& image, std::map<const ImageNode*, Image>& done, const Own& own) {
  if (const auto found = done.find(image.get()); found != done.end()) return found->second;
  Image result = image;
  if (image->InputCount() > 0) {
    std::vector<Image> inputs;
    bool changed = false;
    for (size_t i = 0; i < image->InputCount(); ++i) {
      inputs.push_back(RebuiltIn(image->Input(i), done, own));
      changed = changed || inputs.back() != image->Input(i);
    }
    if (Image made = own(*image, inputs)) {
      result = std::move(made);
    } else if (changed) {
      result = image->Rebuilt(inputs);
    }
  }
  done.emplace(image.get(), result);
  return result;
}

Image ReplacedIn(const Image& image, std::map<const ImageNode*, Image>& done) {
  return RebuiltIn(image, done,
                   [](const ImageNode&, const std::vector<Image>&) { return Image(); });
}

}  // namespace

Image Replaced(const Image& image, const std::vector<const ImageNode*>& from,
               const std::vector<Image>& to) {
  std::map<const ImageNode*, Image> done;
  for (size_t i = 0; i < from.size(); ++i) done.emplace(from[i], to[i]);
  return ReplacedIn(image, done);
}

// Solid and stored.

SolidNode::SolidNode(int32_t width, int32_t height, uint32_t colour)
    : ImageNode(width, height), colour_(colour) {}

void SolidNode::Generate(PixelView out, PixelRect area, InputReader&) const {
  FillArea(out, area, colour_);
}

StoredNode::StoredNode(std::shared_ptr<const PixelStore> store)
    : ImageNode(store->width(), store->height()), store_(std::move(store)) {}

void StoredNode::Generate(PixelView out, PixelRect area, InputReader&) const {
  const ConstPixelView from = store_->View();
  CopyRect(out, area.left, area.top, from, area.left, area.top, area.right - area.left,
           area.bottom - area.top);
}

// Over a base.

OverBase::OverBase(Image base, Image source)
    : ImageNode(base->width(), base->height()), base_(std::move(base)), source_(std::move(source)) {
  SetDepth(1 + std::max(base_->Depth(), source_->Depth()));
}

PixelRect OverBase::InputArea(size_t i, PixelRect area) const {
  return i == 0 ? Intersect(area, base_->Bounds()) : SourceArea(area);
}

CopiedRowsNode::CopiedRowsNode(Image base, Image source, const RowCopy& copy)
    : OverBase(std::move(base), std::move(source)), copy_(copy) {}

PixelRect CopiedRowsNode::SourceArea(PixelRect area) const {
  return CopySourceArea(copy_, area);
}

void CopiedRowsNode::Generate(PixelView out, PixelRect area, InputReader& inputs) const {
  inputs.ReadInto(base(), area, out);
  const PixelRect read = SourceArea(area);
  if (IsEmpty(read)) return;
  CopyRowsArea(out, inputs.Read(source(), read), copy_, area);
}

TransposedNode::TransposedNode(Image base, Image source, const Transposition& transposition)
    : OverBase(std::move(base), std::move(source)), t_(transposition) {}

Transposition TransposedNode::Within(PixelRect area) const {
  Transposition t = t_;
  t.col_at_0 += t.col_step * area.top;
  t.row_at_0 += t.row_step * area.left;
  return t;
}

PixelRect TransposedNode::SourceArea(PixelRect area) const {
  if (IsEmpty(area)) return {0, 0, 0, 0};
  // Target column X reads source row src_y + row_at_0 + row_step * X, target row Y source
  // column src_x + col_at_0 + col_step * Y.
  const auto span = [](int64_t at0, int64_t step, int32_t lo, int32_t hi, int32_t offset,
                       int32_t size, int32_t limit) {
    const int64_t a = at0 + step * lo, b = at0 + step * (hi - 1);
    const int64_t first = std::max<int64_t>({std::min(a, b), 0, -int64_t{offset}});
    const int64_t last = std::min<int64_t>({std::max(a, b) + 1, size, int64_t{limit} - offset});
    return std::pair<int32_t, int32_t>{static_cast<int32_t>(offset + first),
                                       static_cast<int32_t>(offset + std::max(first, last))};
  };
  const auto [top, bottom] = span(t_.row_at_0, t_.row_step, area.left, area.right, t_.src_y,
                                  t_.height, source()->height());
  const auto [left, right] =
      span(t_.col_at_0, t_.col_step, area.top, area.bottom, t_.src_x, t_.width, source()->width());
  return {left, top, right, bottom};
}

void TransposedNode::Generate(PixelView out, PixelRect area, InputReader& inputs) const {
  inputs.ReadInto(base(), area, out);
  const PixelRect read = SourceArea(area);
  if (IsEmpty(read)) return;
  const PixelView within{out.row(area.top) + area.left, out.stride, area.right - area.left,
                         area.bottom - area.top};
  Transpose(within, inputs.Read(source(), read), Within(area));
}

DrawnNode::DrawnNode(Image base, Image source, const Affine& source_to_base, Resampling resampling)
    : OverBase(std::move(base), std::move(source)),
      map_(source_to_base),
      resampling_(resampling),
      sharp_(resampling == Resampling::kSharp &&
             SharpTurnOf(map_, this->source()->width(), this->source()->height()).has_value()) {}

PixelRect DrawnNode::SourceArea(PixelRect area) const {
  const PixelRect bilinear = DrawSourceArea(source()->width(), source()->height(), map_, area);
  if (!sharp_) return bilinear;
  const PixelRect sharp = SharpSourceArea(source()->width(), source()->height(), map_, area);
  if (IsEmpty(bilinear)) return sharp;
  if (IsEmpty(sharp)) return bilinear;
  return {std::min(bilinear.left, sharp.left), std::min(bilinear.top, sharp.top),
          std::max(bilinear.right, sharp.right), std::max(bilinear.bottom, sharp.bottom)};
}

void DrawnNode::Resample(PixelView out, ConstPixelView source, const Affine& source_to_out,
                         PixelRect area, std::optional<uint32_t> clear, Resampling resampling) {
  if (resampling == Resampling::kSharp && !IsEmpty(area)) {
    // The sharp samples of the area, addressed in the target's coordinates.
    const int32_t width = area.right - area.left;
    // Not cleared: only covered pixels, which the samples all write, are read.
    const std::unique_ptr<uint32_t[]> room(
        new uint32_t[static_cast<size_t>(width) * (area.bottom - area.top)]);
    const PixelView samples{room.get() - static_cast<ptrdiff_t>(area.top) * width - area.left,
                            width, out.width, out.height};
    if (SharpSamples(samples, source, source_to_out, area)) {
      return DrawTransformed(out, source, source_to_out, area, clear, samples);
    }
  }
  DrawTransformed(out, source, source_to_out, area, clear);
}

void DrawnNode::Generate(PixelView out, PixelRect area, InputReader& inputs) const {
  // A solid base is folded into the draw: each row is cleared just before it is drawn.
  const std::optional<uint32_t> clear = base()->Colour();
  if (!clear) inputs.ReadInto(base(), area, out);
  Resample(out, inputs.Read(source(), SourceArea(area)), map_, area, clear,
           sharp_ ? Resampling::kSharp : Resampling::kBilinear);
}

// Pastes.

PastedNode::PastedNode(Image base, Image source, std::shared_ptr<std::vector<PasteRect>> rects,
                       size_t count)
    : OverBase(std::move(base), std::move(source)), rects_(std::move(rects)), count_(count) {}

PixelRect PastedNode::SourceArea(PixelRect area) const {
  PixelRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const PasteRect& r : Rects()) {
    const PixelRect to = Intersect(r.to, area);
    if (IsEmpty(to)) continue;
    const int32_t dx = r.from.x - r.to.left, dy = r.from.y - r.to.top;
    box = {std::min(box.left, to.left + dx), std::min(box.top, to.top + dy),
           std::max(box.right, to.right + dx), std::max(box.bottom, to.bottom + dy)};
  }
  return IsEmpty(box) ? PixelRect{0, 0, 0, 0} : box;
}

void PastedNode::Generate(PixelView out, PixelRect area, InputReader& inputs) const {
  inputs.ReadInto(base(), area, out);
  // The rectangles that land in the area, clipped to it, in the order they were pasted.
  std::vector<PasteRect> landing;
  for (const PasteRect& r : Rects()) {
    const PixelRect to = Intersect(r.to, area);
    if (IsEmpty(to)) continue;
    landing.push_back({to, {r.from.x + to.left - r.to.left, r.from.y + to.top - r.to.top}});
  }
  if (landing.empty()) return;
  const auto copy = [&](const ConstPixelView& from, const PasteRect& r) {
    CopyRect(out, r.to.left, r.to.top, from, r.from.x, r.from.y, r.to.right - r.to.left,
             r.to.bottom - r.to.top);
  };
  if (const PixelStore* stored = source()->Stored()) {
    for (const PasteRect& r : landing) copy(stored->View(), r);
    return;
  }
  // Band by band of the area's rows, so that the room for what the rectangles read is a
  // band's, not the area's: rows of different bands are apart, so the order of the
  // pastes matters only within a band.
  constexpr int32_t kBandRows = 16;
  std::vector<size_t> order(landing.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return landing[a].to.top < landing[b].to.top; });
  std::vector<uint32_t> room;
  std::vector<size_t> in_band;
  std::vector<PasteRect> clipped;
  std::vector<PixelRect> reads;
  size_t first = 0;
  for (int32_t top = landing[order[0]].to.top; first < order.size(); top += kBandRows) {
    const PixelRect band{area.left, top, area.right, top + kBandRows};
    while (first < order.size() && landing[order[first]].to.bottom <= top) ++first;
    in_band.clear();
    for (size_t k = first; k < order.size() && landing[order[k]].to.top < band.bottom; ++k) {
      if (landing[order[k]].to.bottom > top) in_band.push_back(order[k]);
    }
    if (in_band.empty()) continue;
    std::sort(in_band.begin(), in_band.end());
    clipped.clear();
    reads.clear();
    PixelRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const size_t i : in_band) {
      const PasteRect& r = landing[i];
      const PixelRect to = Intersect(r.to, band);
      clipped.push_back({to, {r.from.x + to.left - r.to.left, r.from.y + to.top - r.to.top}});
      const PixelRect read = clipped.back().From();
      reads.push_back(read);
      box = {std::min(box.left, read.left), std::min(box.top, read.top),
             std::max(box.right, read.right), std::max(box.bottom, read.bottom)};
    }
    const int32_t w = box.right - box.left, h = box.bottom - box.top;
    room.resize(std::max(room.size(), static_cast<size_t>(w) * static_cast<size_t>(h)));
    const PixelView placed{room.data() - static_cast<ptrdiff_t>(box.top) * w - box.left, w,
                           source()->width(), source()->height()};
    ReadUnder(inputs, source(), reads, placed);
    for (const PasteRect& r : clipped) copy(placed, r);
  }
}

void ReadUnder(InputReader& inputs, const Image& source, std::vector<PixelRect> needs,
               PixelView scratch) {
  constexpr int32_t kBand = 8;
  if (needs.empty()) return;
  std::sort(needs.begin(), needs.end(),
            [](const PixelRect& a, const PixelRect& b) { return a.top < b.top; });
  // Each band of rows: the columns the needs touching it cover, merged into runs where
  // they meet or nearly meet (a run costs more to start than a few pixels more to fill).
  std::vector<std::pair<int32_t, int32_t>> spans;
  size_t first = 0;
  const int32_t last_row = std::max_element(needs.begin(), needs.end(), [](auto& a, auto& b) {
                             return a.bottom < b.bottom;
                           })->bottom;
  for (int32_t band = needs.front().top / kBand * kBand; band < last_row; band += kBand) {
    const int32_t band_end = band + kBand;
    while (first < needs.size() && needs[first].bottom <= band) ++first;
    spans.clear();
    int32_t top = band_end, bottom = band;
    for (size_t i = first; i < needs.size() && needs[i].top < band_end; ++i) {
      const PixelRect& n = needs[i];
      if (n.bottom <= band) continue;
      spans.emplace_back(n.left, n.right);
      top = std::min(top, std::max(n.top, band));
      bottom = std::max(bottom, std::min(n.bottom, band_end));
    }
    if (spans.empty()) continue;
    std::sort(spans.begin(), spans.end());
    int32_t run_left = spans.front().first, run_right = spans.front().second;
    const auto flush = [&] {
      inputs.ReadInto(source, {run_left, top, run_right, bottom}, scratch);
    };
    for (const auto& [left, right] : spans) {
      if (left > run_right + kBand) {
        flush();
        run_left = left;
      }
      run_right = std::max(run_right, right);
    }
    flush();
  }
}

Image Pasted(Image base, Image source, PixelRect to, Point from) {
  if (const auto* paste = dynamic_cast<const PastedNode*>(base.get());
      paste != nullptr && paste->source() == source && paste->rects_->size() == paste->count_) {
    paste->rects_->push_back({to, from});
    return std::make_shared<PastedNode>(paste->base(), std::move(source), paste->rects_,
                                        paste->count_ + 1);
  }
  auto rects = std::make_shared<std::vector<PasteRect>>(1, PasteRect{to, from});
  return std::make_shared<PastedNode>(std::move(base), std::move(source), std::move(rects), 1);
}

// Compositing and coverage.

CompositedNode::CompositedNode(Image base, Image picture, int32_t x, int32_t y)
    : OverBase(std::move(base), std::move(picture)), x_(x), y_(y) {}

PixelRect CompositedNode::SourceArea(PixelRect area) const {
  const PixelRect at{x_, y_, static_cast<int32_t>(int64_t{x_} + source()->width()),
                     static_cast<int32_t>(int64_t{y_} + source()->height())};
  const PixelRect both = Intersect(Intersect(area, at), Bounds());
  if (IsEmpty(both)) return {0, 0, 0, 0};
  return {both.left - x_, both.top - y_, both.right - x_, both.bottom - y_};
}

void CompositedNode::Generate(PixelView out, PixelRect area, InputReader& inputs) const {
  inputs.ReadInto(base(), area, out);
  const PixelRect read = SourceArea(area);
  if (IsEmpty(read)) return;
  const ConstPixelView from = inputs.Read(source(), read);
  const int32_t count = read.right - read.left;
  for (int32_t y = read.top; y < read.bottom; ++y) {
    uint32_t* to = out.row(y + y_) + read.left + x_;
    const uint32_t* row = from.row(y) + read.left;
    for (int32_t i = 0; i < count; ++i) to[i] = Over(row[i], to[i]);
  }
}

CoverageAlphaNode::CoverageAlphaNode(Image turned, Image coverage)
    : OverBase(std::move(turned), std::move(coverage)) {}

PixelRect CoverageAlphaNode::SourceArea(PixelRect area) const {
  return Intersect(area, source()->Bounds());
}

void CoverageAlphaNode::Generate(PixelView out, PixelRect area, InputReader& inputs) const {
  inputs.ReadInto(base(), area, out);
  const PixelRect covered = SourceArea(area);
  if (IsEmpty(covered)) return;
  const ConstPixelView cover = inputs.Read(source(), covered);
  // Invariant: every pixel written is premultiplied: no channel above its alpha.
  for (int32_t y = covered.top; y < covered.bottom; ++y) {
    uint32_t* row = out.row(y);
    const uint32_t* c = cover.row(y);
    for (int32_t x = covered.left; x < covered.right; ++x) {
      const uint32_t a = (c[x] >> 16) & 0xFF;
      const uint32_t p = row[x];
      const uint32_t r = std::min((p >> 16) & 0xFF, a);
      const uint32_t g = std::min((p >> 8) & 0xFF, a);
      const uint32_t b = std::min(p & 0xFF, a);
      row[x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
}

// Halving.

HalvedNode::HalvedNode(Image source)
    : ImageNode((source->width() + 1) / 2, (source->height() + 1) / 2), source_(std::move(source)) {
  SetDepth(1 + source_->Depth());
}

PixelRect HalvedNode::InputArea(size_t, PixelRect area) const {
  return {2 * area.left, 2 * area.top, std::min(2 * area.right, source_->width()),
          std::min(2 * area.bottom, source_->height())};
}

void HalvedNode::Generate(PixelView out, PixelRect area, InputReader& inputs) const {
  HalveArea(out, inputs.Read(source_, InputArea(0, area)), area);
}

void HalveArea(PixelView out, ConstPixelView source, PixelRect area) {
  for (int32_t y = area.top; y < area.bottom; ++y) {
    const uint32_t* top = source.row(2 * y);
    const uint32_t* bottom = 2 * y + 1 < source.height ? source.row(2 * y + 1) : top;
    uint32_t* row = out.row(y);
    for (int32_t x = area.left; x < area.right; ++x) {
      const int32_t left = 2 * x, right = std::min(2 * x + 1, source.width - 1);
      const uint32_t taps[4] = {top[left], top[right], bottom[left], bottom[right]};
      // An odd edge repeats its pixels, so each real one still weighs its share.
      uint32_t pixel = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = 2;  // rounds to nearest
        for (const uint32_t tap : taps) sum += (tap >> shift) & 255;
        pixel |= (sum / 4) << shift;
      }
      row[x] = pixel;
    }
  }
}

// The factories.

Image SolidImage(int32_t width, int32_t height, uint32_t colour) {
  return std::make_shared<SolidNode>(width, height, colour);
}

Image StoredImage(std::shared_ptr<const PixelStore> store) {
  return std::make_shared<StoredNode>(std::move(store));
}

bool operator==(const RowCopy& a, const RowCopy& b) {
  return a.x == b.x && a.y == b.y && a.dx == b.dx && a.dy == b.dy && a.src_x == b.src_x &&
         a.src_y == b.src_y && a.width == b.width && a.height == b.height;
}

bool operator==(const Transposition& a, const Transposition& b) {
  return a.col_at_0 == b.col_at_0 && a.col_step == b.col_step && a.row_at_0 == b.row_at_0 &&
         a.row_step == b.row_step && a.src_x == b.src_x && a.src_y == b.src_y &&
         a.width == b.width && a.height == b.height;
}

Image CopiedRows(Image base, Image source, const RowCopy& copy) {
  // The same copy again over itself changes nothing (a turn by 180 repeated).
  if (const auto* same = dynamic_cast<const CopiedRowsNode*>(base.get());
      same != nullptr && same->source() == source && same->copy() == copy) {
    return base;
  }
  // What a copy covers whole is not read: the old image is let go.
  const int32_t left = copy.dx > 0 ? copy.x : copy.x - copy.width + 1;
  const int32_t top = copy.dy > 0 ? copy.y : copy.y - copy.height + 1;
  if (left == 0 && top == 0 && copy.width == base->width() && copy.height == base->height()) {
    base = SolidImage(base->width(), base->height(), 0);
  }
  return std::make_shared<CopiedRowsNode>(std::move(base), std::move(source), copy);
}

Image Transposed(Image base, Image source, const Transposition& transposition) {
  if (const auto* same = dynamic_cast<const TransposedNode*>(base.get());
      same != nullptr && same->source() == source && same->transposition() == transposition) {
    return base;
  }
  const PixelRect written =
      TransposedArea(transposition, {nullptr, 0, source->width(), source->height()},
                     {nullptr, 0, base->width(), base->height()});
  if (written.left == 0 && written.top == 0 && written.right == base->width() &&
      written.bottom == base->height()) {
    base = SolidImage(base->width(), base->height(), 0);
  }
  return std::make_shared<TransposedNode>(std::move(base), std::move(source), transposition);
}

namespace {

std::atomic<Resampling> default_resampling{Resampling::kBilinear};

Image ResampledIn(const Image& image, Resampling resampling,
                  std::map<const ImageNode*, Image>& done) {
  return RebuiltIn(image, done, [resampling](const ImageNode& node, const std::vector<Image>& in) {
    const auto* drawn = dynamic_cast<const DrawnNode*>(&node);
    if (drawn == nullptr || drawn->resampling() == resampling) return Image();
    return Image(std::make_shared<DrawnNode>(in[0], in[1], drawn->map(), resampling));
  });
}

}  // namespace

Resampling DefaultResampling() {
  return default_resampling.load(std::memory_order_relaxed);
}

void SetDefaultResampling(Resampling resampling) {
  default_resampling.store(resampling, std::memory_order_relaxed);
}

Image Drawn(Image base, Image source, const Affine& source_to_base, Resampling resampling) {
  return std::make_shared<DrawnNode>(std::move(base), std::move(source), source_to_base,
                                     resampling);
}

Image WithResampling(const Image& image, Resampling resampling) {
  if (!image) return image;
  std::map<const ImageNode*, Image> done;
  return ResampledIn(image, resampling, done);
}

Image Composited(Image base, Image picture, int32_t x, int32_t y) {
  return std::make_shared<CompositedNode>(std::move(base), std::move(picture), x, y);
}

Image WithCoverageAsAlpha(Image turned, Image coverage) {
  return std::make_shared<CoverageAlphaNode>(std::move(turned), std::move(coverage));
}

Image Halved(Image source) {
  return std::make_shared<HalvedNode>(std::move(source));
}

}  // namespace platform

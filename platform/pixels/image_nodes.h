// The kinds of image node (image.h), for the evaluator and the tests: each holds its
// inputs and what it does with them, and nothing it has worked out.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "platform/pixels/image.h"

namespace platform {

class SolidNode final : public ImageNode {
 public:
  SolidNode(int32_t width, int32_t height, uint32_t colour);
  std::optional<uint32_t> Colour() const override { return colour_; }
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;

 private:
  uint32_t colour_;
};

class StoredNode final : public ImageNode {
 public:
  explicit StoredNode(std::shared_ptr<const PixelStore> store);
  const PixelStore* Stored() const override { return store_.get(); }
  // Whether this node alone holds its pixels: they may then be written in place by the
  // one bitmap that holds the node.
  bool OnlyHolder() const { return store_.use_count() == 1; }
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;

 private:
  std::shared_ptr<const PixelStore> store_;
};

// An operation over a base image (what it leaves unchanged) that reads one source.
class OverBase : public ImageNode {
 public:
  OverBase(Image base, Image source);
  const Image& base() const { return base_; }
  const Image& source() const { return source_; }
  size_t InputCount() const override { return 2; }
  const Image& Input(size_t i) const override { return i == 0 ? base_ : source_; }
  PixelRect InputArea(size_t i, PixelRect area) const override;
  // The area of the source that `area` reads.
  virtual PixelRect SourceArea(PixelRect area) const = 0;

 private:
  Image base_, source_;
};

class CopiedRowsNode final : public OverBase {
 public:
  CopiedRowsNode(Image base, Image source, const RowCopy& copy);
  const RowCopy& copy() const { return copy_; }
  PixelRect SourceArea(PixelRect area) const override;
  Image Rebuilt(const std::vector<Image>& inputs) const override;
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;

 private:
  RowCopy copy_;
};

class TransposedNode final : public OverBase {
 public:
  TransposedNode(Image base, Image source, const Transposition& transposition);
  const Transposition& transposition() const { return t_; }
  PixelRect SourceArea(PixelRect area) const override;
  Image Rebuilt(const std::vector<Image>& inputs) const override;
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;

 private:
  // The transposition restricted to the target pixels of `area`, for a view of that area.
  Transposition Within(PixelRect area) const;
  Transposition t_;
};

class DrawnNode final : public OverBase {
 public:
  DrawnNode(Image base, Image source, const Affine& source_to_base, Resampling resampling);
  const Affine& map() const { return map_; }
  Resampling resampling() const { return resampling_; }
  PixelRect SourceArea(PixelRect area) const override;
  Image Rebuilt(const std::vector<Image>& inputs) const override;
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;
  // The one place a transformed draw reaches its resampling kernels.
  static void Resample(PixelView out, ConstPixelView source, const Affine& source_to_out,
                       PixelRect area, std::optional<uint32_t> clear, Resampling resampling);

 private:
  Affine map_;
  Resampling resampling_;
  // Whether this draw takes the sharp resampler: asked for, and a turn.
  bool sharp_;
};

struct PasteRect {
  PixelRect to;  // inside the base
  Point from;    // where `to`'s top-left corner is taken from in the source
  PixelRect From() const {
    return {from.x, from.y, from.x + to.right - to.left, from.y + to.bottom - to.top};
  }
};

class PastedNode final : public OverBase {
 public:
  // The first `count` rectangles of `rects`, pasted in order.
  PastedNode(Image base, Image source, std::shared_ptr<std::vector<PasteRect>> rects, size_t count);
  std::span<const PasteRect> Rects() const { return {rects_->data(), count_}; }
  // The bounding box of the source areas; InputArea gives only that, Generate reads less.
  PixelRect SourceArea(PixelRect area) const override;
  Image Rebuilt(const std::vector<Image>& inputs) const override;
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;

 private:
  friend Image Pasted(Image base, Image source, PixelRect to, Point from);
  // Shared by a paste and the pastes that extend it, which see more of it: appended to
  // only by whoever makes the images, never while one is worked out.
  std::shared_ptr<std::vector<PasteRect>> rects_;
  size_t count_;
};

class CompositedNode final : public OverBase {
 public:
  CompositedNode(Image base, Image picture, int32_t x, int32_t y);
  PixelRect SourceArea(PixelRect area) const override;
  Image Rebuilt(const std::vector<Image>& inputs) const override;
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;

 private:
  int32_t x_, y_;
};

class CoverageAlphaNode final : public OverBase {
 public:
  CoverageAlphaNode(Image turned, Image coverage);
  PixelRect SourceArea(PixelRect area) const override;
  Image Rebuilt(const std::vector<Image>& inputs) const override;
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;
};

class HalvedNode final : public ImageNode {
 public:
  explicit HalvedNode(Image source);
  size_t InputCount() const override { return 1; }
  const Image& Input(size_t) const override { return source_; }
  PixelRect InputArea(size_t i, PixelRect area) const override;
  Image Rebuilt(const std::vector<Image>& inputs) const override;
  void Generate(PixelView out, PixelRect area, InputReader& inputs) const override;

 private:
  Image source_;
};

// `area` of the half-size image of `source` (a view of the whole source) into `out`: each
// pixel the average of the 2 x 2 it covers, an odd edge's pixels repeated.
void HalveArea(PixelView out, ConstPixelView source, PixelRect area);

// The pixels of `source` under each of `needs` (inside the source) written into `scratch`,
// a view in the source's coordinates: worked out in runs along bands of rows, so that many
// small neighbouring rectangles (the squares along an edge) are worked out together.
void ReadUnder(InputReader& inputs, const Image& source, std::vector<PixelRect> needs,
               PixelView scratch);

// Clipping and emptiness.
PixelRect Intersect(PixelRect a, PixelRect b);
inline bool IsEmpty(PixelRect r) {
  return r.left >= r.right || r.top >= r.bottom;
}

}  // namespace platform

// A picture as a value: an immutable node behind a shared pointer. A node is solid colour,
// stored pixels, or an operation on other images (a copy of rows, a transposition, a
// transformed draw, a paste of rectangles, a picture composited over another). A node never
// changes once made, so anything that holds one sees the same pixels for as long as it
// holds it, whatever happens to the images it was made from: a surface that changes simply
// holds a new value.
//
// Each operation says which area of each input an area of its result reads (InputArea)
// and writes that area given those pixels (Generate). Neither works anything out by
// itself: the evaluator (evaluator.h) asks, and is the only place where pixels are made.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/pixels/affine.h"
#include "platform/pixels/geometry.h"
#include "platform/pixels/kernels.h"
#include "platform/pixels/pixel_allocator.h"
#include "platform/pixels/pixel_view.h"

namespace platform {

class ImageNode;
using Image = std::shared_ptr<const ImageNode>;

// Pixels held in memory: rows packed top to bottom, premultiplied ARGB.
class PixelStore {
 public:
  // The pixels are left unwritten: whoever makes a store writes every one.
  PixelStore(int32_t width, int32_t height);
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  PixelView View() { return {pixels_.data(), width_, width_, height_}; }
  ConstPixelView View() const { return {pixels_.data(), width_, width_, height_}; }

 private:
  int32_t width_, height_;
  std::vector<uint32_t, PixelAllocator<uint32_t>> pixels_;
};

// Where a node gets the pixels of its inputs while it generates: a view in the input's
// own coordinates (its width and height are the input's), current inside `area`.
class InputReader {
 public:
  virtual ~InputReader() = default;
  virtual ConstPixelView Read(const Image& input, PixelRect area) = 0;
  // The same written straight into `out`, a view in the input's coordinates.
  virtual void ReadInto(const Image& input, PixelRect area, PixelView out) = 0;
};

class ImageNode {
 public:
  ImageNode(int32_t width, int32_t height);
  virtual ~ImageNode() = default;
  ImageNode(const ImageNode&) = delete;
  ImageNode& operator=(const ImageNode&) = delete;

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  PixelRect Bounds() const { return {0, 0, width_, height_}; }
  // Never the same for two nodes: something made from an image is current while the
  // serial it was made for is the image's.
  uint64_t Serial() const { return serial_; }

  // How many operations deep the image is made: 0 for solid or stored pixels.
  int Depth() const { return depth_; }

  // One colour everywhere: the colour.
  virtual std::optional<uint32_t> Colour() const { return std::nullopt; }
  // Stored pixels: the store.
  virtual const PixelStore* Stored() const { return nullptr; }

  // The images this one is made from, and the area of input `i` that `area` of this one
  // reads (empty when it reads none of it).
  virtual size_t InputCount() const { return 0; }
  virtual const Image& Input(size_t i) const;
  virtual PixelRect InputArea(size_t i, PixelRect area) const;
  // The same operation on other inputs (as many, of the same sizes); none for solid and
  // stored images.
  virtual Image Rebuilt(const std::vector<Image>& inputs) const;
  // Writes `area` (inside the image) of this image into `out`, a view in this image's
  // coordinates, reading its inputs through `inputs`. Writes nothing outside `area`.
  virtual void Generate(PixelView out, PixelRect area, InputReader& inputs) const = 0;

 protected:
  void SetDepth(int depth) { depth_ = depth; }

 private:
  friend class Evaluator;
  int32_t width_, height_;
  uint64_t serial_;
  int depth_ = 0;
  // The whole image once the evaluator has worked it out: kept while the node lives, and
  // touched by the evaluator alone.
  mutable std::mutex whole_mutex_;
  mutable std::shared_ptr<const PixelStore> whole_;
  // Its copies at half, a quarter, ... of its size, made for the fit view when first asked.
  mutable std::vector<std::shared_ptr<const PixelStore>> levels_;
};

// The images.
Image SolidImage(int32_t width, int32_t height, uint32_t colour);
Image StoredImage(std::shared_ptr<const PixelStore> store);
// `base` with the rows of `source` copied or mirrored onto it (see RowCopy).
Image CopiedRows(Image base, Image source, const RowCopy& copy);
// `base` with rows of `source` become its columns (a turn by 90 or 270 degrees).
Image Transposed(Image base, Image source, const Transposition& transposition);
// How a transformed draw resamples its source inside the picture (its outline is
// bilinear coverage either way): the bilinear blend of the nearest four pixels, or, for a
// turn, the sharp resampler (sharp.h); a draw that is not a turn stays bilinear.
enum class Resampling { kBilinear, kSharp };
// What Drawn uses when not told: bilinear until a program chooses (the window and the
// renderer choose sharp unless told otherwise).
Resampling DefaultResampling();
void SetDefaultResampling(Resampling resampling);

// `base` with the whole of `source` drawn over it through `source_to_base` (coverage at
// the edges).
Image Drawn(Image base, Image source, const Affine& source_to_base,
            Resampling resampling = DefaultResampling());
// `image` made again with every transformed draw in it resampled by `resampling`: the
// window's quick rendering of a sharp image while it changes. `image` itself when nothing
// in it would change.
Image WithResampling(const Image& image, Resampling resampling);
// `base` with the rectangle `to` (inside both) taken from `source` at `from`. Pastes from
// one source follow each other as one node: a paste onto the latest paste from the same
// source extends it, so the thousands of small copies of an edge repair make one node.
Image Pasted(Image base, Image source, PixelRect to, Point from);
// `picture` composited over `base` with its top-left corner at (x, y).
Image Composited(Image base, Image picture, int32_t x, int32_t y);
// `turned` with each pixel's alpha the red channel of `coverage` (same size).
Image WithCoverageAsAlpha(Image turned, Image coverage);
// `image` made again with every image in `from` replaced by the image at the same place in
// `to` (of the same size), wherever it is read: the same operations on other pixels.
Image Replaced(const Image& image, const std::vector<const ImageNode*>& from,
               const std::vector<Image>& to);
// Half the size, each pixel the average of the 2 x 2 it covers (fewer at an odd edge).
Image Halved(Image source);

}  // namespace platform

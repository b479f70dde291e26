// A right-angle turn or mirroring of a JPEG done on its blocks: the source's coefficients
// are read once, and each block of the result is made (moved, transposed, its signs
// changed) as the encoder asks for its row, so that no second picture of coefficients is
// ever held or walked across. What jpegtran -perfect gives, in about half its time, for
// the JPEGs phones and cameras write; lossless_jpeg.h leaves the rest to libjpeg-turbo's
// general transform.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// Where each pixel of the result comes from in the source.
struct BlockTurn {
  bool across = false;    // the result's rows run down the source's columns
  bool mirror_x = false;  // the source's columns are read from its right edge
  bool mirror_y = false;  // the source's rows are read from its bottom edge
};

// The JPEG file `file` with its blocks turned, without metadata. None when it is not coded
// in one Huffman-coded scan with both sides whole MCUs, or its data cannot be read.
std::optional<std::vector<uint8_t>> TurnBlocks(const std::vector<uint8_t>& file, BlockTurn turn);

}  // namespace platform

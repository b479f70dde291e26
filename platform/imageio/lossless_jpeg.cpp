#include "platform/imageio/lossless_jpeg.h"

#include <turbojpeg.h>

#include <array>
#include <future>
#include <memory>

#include "platform/imageio/coded_turn.h"

namespace platform {

namespace {

// A transform of the pixel grid as the 2 x 2 matrix it applies to (x, y), y down.
using Grid = std::array<int, 4>;  // x' = m[0] x + m[1] y, y' = m[2] x + m[3] y

Grid Times(const Grid& a, const Grid& b) {  // b first, then a
  return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
          a[2] * b[1] + a[3] * b[3]};
}

// A clockwise quarter turn on screen.
constexpr Grid kQuarterTurn{0, -1, 1, 0};

struct Operation {
  int op;
  Grid grid;
  BlockTurn blocks;  // the same, as where each of the result's blocks comes from
};

constexpr std::array<Operation, 8> kOperations{{
    {TJXOP_NONE, {1, 0, 0, 1}, {false, false, false}},
    {TJXOP_HFLIP, {-1, 0, 0, 1}, {false, true, false}},
    {TJXOP_VFLIP, {1, 0, 0, -1}, {false, false, true}},
    {TJXOP_TRANSPOSE, {0, 1, 1, 0}, {true, false, false}},
    {TJXOP_TRANSVERSE, {0, -1, -1, 0}, {true, true, true}},
    {TJXOP_ROT90, kQuarterTurn, {true, false, true}},
    {TJXOP_ROT180, {-1, 0, 0, -1}, {false, true, true}},
    {TJXOP_ROT270, {0, 1, -1, 0}, {true, true, false}},
}};

// What makes a stored picture of EXIF orientation 1 to 8 upright.
Grid Upright(int orientation) {
  constexpr std::array<int, 9> kOp{TJXOP_NONE,   TJXOP_NONE,       TJXOP_HFLIP,
                                   TJXOP_ROT180, TJXOP_VFLIP,      TJXOP_TRANSPOSE,
                                   TJXOP_ROT90,  TJXOP_TRANSVERSE, TJXOP_ROT270};
  const int op = orientation >= 1 && orientation <= 8 ? kOp[orientation] : TJXOP_NONE;
  for (const Operation& o : kOperations) {
    if (o.op == op) return o.grid;
  }
  return kOperations[0].grid;
}

int OperationFor(const Grid& grid) {
  for (const Operation& o : kOperations) {
    if (o.grid == grid) return o.op;
  }
  return TJXOP_NONE;  // unreachable: the eight form a group
}

// The transform that turns a picture stored with EXIF orientation `orientation` by
// `quarters` clockwise quarter turns once it is upright.
int TransformFor(int orientation, int quarters) {
  Grid turn = kOperations[0].grid;
  for (int k = 0; k < ((quarters % 4) + 4) % 4; ++k) turn = Times(kQuarterTurn, turn);
  return OperationFor(Times(turn, Upright(orientation)));
}

struct Turned {
  std::optional<std::vector<uint8_t>> file;
  std::string why;  // when there is no file
};

// libjpeg-turbo's general transform: any JPEG, and the sides need only be whole blocks in
// the directions the transform mirrors.
Turned Transformed(const std::vector<uint8_t>& file, int op) {
  const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitTransform(), tjDestroy);
  if (!handle) return {std::nullopt, "the JPEG library could not start"};
  tjtransform transform{};
  transform.op = op;
  transform.options = TJXOPT_PERFECT | TJXOPT_COPYNONE;
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  const int failed =
      tjTransform(handle.get(), file.data(), file.size(), 1, &out, &out_size, &transform, 0);
  const std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(out, tjFree);
  if (failed != 0 || out == nullptr) {
    return {std::nullopt,
            "its sides are not whole blocks of the JPEG's coding in the direction of the turn"};
  }
  return {std::vector<uint8_t>(out, out + out_size), {}};
}

// Block by block where that serves (one scan, both sides whole blocks), which gives the
// same file in about half the time; the general transform otherwise.
Turned Turn(const std::vector<uint8_t>& file, int op) {
  for (const Operation& o : kOperations) {
    if (o.op != op) continue;
    if (auto turned = TurnBlocks(file, o.blocks)) return {std::move(turned), {}};
  }
  return Transformed(file, op);
}

}  // namespace

struct CodedTurnAhead {
  int op;
  std::shared_future<Turned> turned;
};

std::shared_ptr<const CodedTurnAhead> TurnCodedAhead(std::vector<uint8_t> file, int orientation,
                                                     int quarters) {
  const int op = TransformFor(orientation, quarters);
  if (op == TJXOP_NONE) return nullptr;
  return std::make_shared<const CodedTurnAhead>(
      CodedTurnAhead{op, std::async(std::launch::async, [file = std::move(file), op] {
                           return Turn(file, op);
                         }).share()});
}

std::optional<std::vector<uint8_t>> LosslesslyTurned(const Picture& picture, int quarters,
                                                     bool bare, std::string& why) {
  const std::shared_ptr<const CodedJpeg>& coded = picture.coded();
  if (!coded) {
    why = "it was not read from a JPEG whose colours it keeps as they are coded";
    return std::nullopt;
  }
  const int op = TransformFor(coded->orientation, quarters);
  if (op == TJXOP_NONE && !bare) return coded->file;  // nothing to move: the data as it is
  // Begun ahead for the same transform of the same bytes, or now.
  Turned turned =
      coded->ahead && coded->ahead->op == op ? coded->ahead->turned.get() : Turn(coded->file, op);
  if (!turned.file) why = turned.why;
  return std::move(turned.file);
}

}  // namespace platform

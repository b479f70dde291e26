// The any-angle turn with its edge repair. The world-transform rendering leaves the
// picture's top and left edges one pixel outside the target and blends them with the
// background; a second rendering of the picture, made from its 180-degree copy turned by
// the opposite angle, draws those edges from the copy's interior, and small squares of it
// are copied along them.
#include <cmath>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/ui/form.h"
#include "turn/mod_turn.h"

namespace mod_Turn {

using platform::Add32;
using platform::Round32;
using platform::Sub32;

namespace {

// The squares centred on the source edge pixels `margin` .. L − margin, where the edge
// pixel j lands at position(j) in dst.
template <typename Position>
void AddEdgeSquares(std::vector<platform::PixelRect>& squares, float edge_length, int32_t margin,
                    Position position) {
  const int32_t last_index = Round32(static_cast<double>(edge_length) - 1);
  const int32_t last = Sub32(last_index, margin);
  const int32_t side = Add32(2 * margin, 1);
  for (int64_t j = margin; j <= last; ++j) {
    const auto [fx, fy] = position(static_cast<double>(j));
    const int32_t left = Sub32(Round32(fx), margin), top = Sub32(Round32(fy), margin);
    squares.push_back({left, top, Add32(left, side), Add32(top, side)});
  }
}

void CopySquares(PictureBox& dst, PictureBox& pTM,
                 const std::vector<platform::PixelRect>& squares) {
  // The copies, one after another from pTM, make one paste over dst's turned picture:
  // pTM is worked out only under the squares, and only when dst's pixels are asked for.
  for (const platform::PixelRect& q : squares) {
    platform::BitBlt(dst.hDC(), q.left, q.top, q.right - q.left, q.bottom - q.top, pTM.hDC(),
                     q.left, q.top, platform::SRCCOPY);
  }
}

struct XY {
  double x, y;
};

}  // namespace

void AnyAngleTurn(PictureBox& src, PictureBox& dst, Angle angle) {
  int32_t offX = 0, offY = 0;
  GdipTurn(src, dst, angle, offX, offY);
  const double theta = platform::Radians(angle);
  const int32_t margin = (angle == 88 || angle == 178 || angle == 268 || angle == 358) ? 2 : 1;

  // The work surfaces of the window that holds the target.
  platform::Form& frm = dst.container();
  PictureBox& pTM = frm.PictureBoxNamed("pTM");
  PictureBox& p180 = frm.PictureBoxNamed("p180");
  pTM.Cls();
  pTM.SetBackColor(dst.BackColor());
  p180.Cls();
  p180.SetBackColor(dst.BackColor());
  PlgTurn(src, src, p180, 180);

  angle = angle >= 180 ? angle - 180.0f : angle + 180.0f;
  int32_t scratchX = 0, scratchY = 0;
  GdipTurn(p180, pTM, angle, scratchX, scratchY);

  const double c = std::cos(theta), s = std::sin(theta);
  std::vector<platform::PixelRect> squares;
  AddEdgeSquares(squares, src.ScaleWidth(), margin, [&](double j) {
    return XY{c * j + offX, s * j + offY};
  });
  AddEdgeSquares(squares, src.ScaleHeight(), margin, [&](double j) {
    return XY{-j * s + offX, j * c + offY};
  });
  CopySquares(dst, pTM, squares);
  pTM.Cls();
  p180.Cls();
}

}  // namespace mod_Turn

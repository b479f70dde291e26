// The any-angle turn with its edge repair. The world-transform rendering leaves the
// picture's top and left edges one pixel outside the target and blends them with the
// background; a second rendering of the picture, made from its 180-degree copy turned by
// the opposite angle, draws those edges from the copy's interior, and small squares of it
// are copied along them.
#include <cmath>

#include "platform/form.h"
#include "platform/gdi.h"
#include "turn/mod_turn.h"

namespace mod_Turn {

using platform::Add32;
using platform::Round32;
using platform::Sub32;

namespace {

// Copies the squares centred on the source edge pixels `margin` .. L − margin, where the
// edge pixel j lands at (x(j), y(j)) in dst.
template <typename Position>
void RepairEdge(PictureBox& dst, PictureBox& pTM, float edge_length, int32_t margin,
                Position position) {
  const int32_t last_index = Round32(static_cast<double>(edge_length) - 1);
  const int32_t last = Sub32(last_index, margin);
  const int32_t side = Add32(2 * margin, 1);
  for (int64_t j = margin; j <= last; ++j) {
    const auto [fx, fy] = position(static_cast<double>(j));
    const int32_t x = Round32(fx);
    const int32_t y = Round32(fy);
    platform::HDC to = dst.hDC();
    platform::HDC from = pTM.hDC();
    const int32_t left = Sub32(x, margin), top = Sub32(y, margin);
    platform::BitBlt(to, left, top, side, side, from, left, top, platform::SRCCOPY);
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

  platform::Form& frm = platform::Form::Main();
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
  RepairEdge(dst, pTM, src.ScaleWidth(), margin, [&](double j) {
    return XY{c * j + offX, s * j + offY};
  });
  RepairEdge(dst, pTM, src.ScaleHeight(), margin, [&](double j) {
    return XY{-j * s + offX, j * c + offY};
  });
  pTM.Cls();
  p180.Cls();
}

}  // namespace mod_Turn

// The any-angle turn through the graphics facade's world transform, and the bounds it
// sizes its target by.
#include <cmath>

#include "platform/gdi/mod_gdiplus.h"
#include "turn/extremes.h"
#include "turn/mod_turn.h"

namespace mod_Turn {

using platform::Add32;
using platform::Half;
using platform::Point;
using platform::Round32;
using platform::Sub32;

void TurnedBounds(Angle angle, int32_t width, int32_t height, int32_t& boundW, int32_t& boundH,
                  int32_t& centreX, int32_t& centreY) {
  const double a = platform::Radians(angle);
  const double c = std::cos(a), s = std::sin(a);
  Point corners[4];
  corners[0] = {0, 0};
  corners[1] = {Round32(width * c + corners[0].x), Round32(width * s + corners[0].y)};
  corners[2] = {Round32(-static_cast<double>(height) * s), Round32(height * c)};
  // Built on the rounded corner 3 and rounded once more, not the rounding of the exact
  // corner: the bounds follow the corner as built.
  corners[3] = {Round32(width * c + corners[2].x), Round32(width * s + corners[2].y)};

  const Extremes xs = ExtremesOf({corners[0].x, corners[1].x, corners[2].x, corners[3].x});
  const Extremes ys = ExtremesOf({corners[0].y, corners[1].y, corners[2].y, corners[3].y});
  boundW = Sub32(xs.max, xs.min);
  boundH = Sub32(ys.max, ys.min);
  centreX = Add32(xs.min, Half(boundW));
  centreY = Add32(ys.min, Half(boundH));
}

namespace {

using namespace mod_Gdiplus;

// Releases what the facade handed out, on every way out of GdipTurn.
struct Session {
  ULONG_PTR token = 0;
  GpGraphics* graphics = nullptr;
  GpBitmap* bitmap = nullptr;
  ~Session() {
    if (bitmap != nullptr) GdipDisposeImage(bitmap);
    if (graphics != nullptr) GdipDeleteGraphics(graphics);
    if (token != 0) GdiplusShutdown(token);
  }
};

}  // namespace

bool GdipTurn(PictureBox& src, PictureBox& dst, Angle angle, int32_t& offX, int32_t& offY) {
  const int32_t srcW = Round32(src.ScaleWidth());
  const int32_t srcH = Round32(src.ScaleHeight());
  Session session;
  const GdiplusStartupInput input{1, nullptr, 0, 0};
  if (GdiplusStartup(&session.token, &input, nullptr) != Ok) {
    session.token = 0;
    return false;
  }
  dst.Cls();
  int32_t boundW = 0, boundH = 0, centreX = 0, centreY = 0;
  TurnedBounds(angle, srcW, srcH, boundW, boundH, centreX, centreY);
  dst.SetWidth(static_cast<float>(Sub32(boundW, 1)));
  dst.SetHeight(static_cast<float>(Sub32(boundH, 1)));
  offX = Sub32(Sub32(Half(boundW), centreX), 1);
  offY = Sub32(Sub32(Half(boundH), centreY), 1);

  // No graphics object means nothing drawn, which is no success.
  GpStatus drawStatus = GenericError;
  if (GdipCreateFromHDC(dst.hDC(), &session.graphics) == Ok) {
    GdipCreateBitmapFromHBITMAP(src.Image().Handle, nullptr, &session.bitmap);
    GdipRotateWorldTransform(session.graphics, angle, MatrixOrderAppend);
    GdipTranslateWorldTransform(session.graphics, static_cast<float>(offX),
                                static_cast<float>(offY), MatrixOrderAppend);
    drawStatus = GdipDrawImageRect(session.graphics, session.bitmap, 0.0f, 0.0f,
                                   static_cast<float>(srcW), static_cast<float>(srcH));
    GdipDisposeImage(session.bitmap);
    session.bitmap = nullptr;
    GdipDeleteGraphics(session.graphics);
    session.graphics = nullptr;
  } else {
    session.graphics = nullptr;
  }
  return drawStatus == Ok;
}

}  // namespace mod_Turn

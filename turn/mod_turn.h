// mod_Turn: turning a picture surface's image by a whole picture's angle.
//
// Angles are degrees, clockwise on the screen. Every coordinate the engine computes goes
// through the checked runtime (platform/base/runtime.h): an overflow or a floating-point fault
// raises an error that ends the call and passes to the caller; nothing is caught here.
#pragma once

#include <cstdint>

#include "platform/ui/picture_box.h"
#include "platform/base/runtime.h"

namespace mod_Turn {

using platform::Angle;
using platform::PictureBox;
using platform::Scaler;

// True exactly for 0, 90, 180, 270 and 360 (exact comparison).
bool IsRightAngle(Angle angle);

// Sets ctl's outer size in pixels through its window handle; position, stacking order
// and activation stay as they are.
void SizeWindow(PictureBox& ctl, int32_t width, int32_t height);

// Turns src's persistent image about its lower-left corner with one parallelogram blit,
// into dst resized to the turned bounding box (centred in whatever size dst reports;
// at exactly 180 one pixel further up and left), then refreshes dst. `scaler` converts
// the image's HiMetric size to pixels. dst is not cleared first. Returns the blit's
// success. Meant for right angles: only they come out exact.
bool PlgTurn(const Scaler& scaler, PictureBox& src, PictureBox& dst, Angle angle);

// The whole-pixel corners of a width × height rectangle turned by `angle` about its
// top-left corner give the bounding box's size (boundW, boundH) and its centre, rounded
// down, in the same frame. Corner 4 is built on the rounded corner 3.
void TurnedBounds(Angle angle, int32_t width, int32_t height, int32_t& boundW, int32_t& boundH,
                  int32_t& centreX, int32_t& centreY);

// Draws src turned by `angle` about its top-left corner into dst through the graphics
// facade. dst is cleared and resized to the turned bounds less one pixel each way; the
// translation puts the bounds' corner at (-1, -1) and is written to offX, offY. Returns
// true when the picture was drawn. When the graphics library does not start, nothing is
// touched and false is returned.
bool GdipTurn(PictureBox& src, PictureBox& dst, Angle angle, int32_t& offX, int32_t& offY);

// Turns src by an angle that is no right angle into dst, then repairs the turned picture's
// top and left edges from a second rendering made through the work surfaces pTM and p180
// of the window that holds dst, which are left cleared.
void AnyAngleTurn(PictureBox& src, PictureBox& dst, Angle angle);

}  // namespace mod_Turn

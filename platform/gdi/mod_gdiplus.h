// mod_Gdiplus: the graphics facade. A flat interface of start-up and shut-down, a graphics
// object on a device context with a world transform, a bitmap made from a surface's
// persistent image, and a draw through the transform. Statuses follow the usual flat
// graphics interface numbering (Ok = 0). Pixel rules: pixel_conventions.md.
#pragma once

#include <cstdint>

#include "platform/pixels/affine.h"
#include "platform/gdi/surface.h"

namespace mod_Gdiplus {

using platform::HBITMAP;
using platform::HDC;

enum GpStatus : int32_t {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  GdiplusNotInitialized = 18,
};

enum MatrixOrder : int32_t { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };

using ULONG_PTR = uintptr_t;
using HPALETTE = void*;
using DebugEventProc = void (*)(int32_t level, const char* message);

struct GdiplusStartupInput {
  uint32_t GdiplusVersion = 1;
  DebugEventProc DebugEventCallback = nullptr;
  int32_t SuppressBackgroundThread = 0;
  int32_t SuppressExternalCodecs = 0;
};

struct GpGraphics;
struct GpImage;
using GpBitmap = GpImage;

// Starts the library; `token` receives what GdiplusShutdown takes back. Only version 1
// is known. `output` must be null (no background thread is offered).
GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);

// A graphics object drawing into the persistent image behind `hdc`, identity transform.
GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);

// A bitmap of the surface's persistent image. No palette is supported (must be null).
// The pixels are not copied: a draw reads the surface's image as it is at the draw.
GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE palette, GpBitmap** bitmap);
GpStatus GdipDisposeImage(GpImage* image);

// Rotation by `angle` degrees, clockwise on the screen, and translation; composed with
// the current world transform before (Prepend) or after (Append) it.
GpStatus GdipRotateWorldTransform(GpGraphics* graphics, float angle, MatrixOrder order);
GpStatus GdipTranslateWorldTransform(GpGraphics* graphics, float dx, float dy, MatrixOrder order);

// Draws the whole image into the rectangle (x, y, width, height) of world space.
GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, float x, float y, float width,
                           float height);

// For tests: force a call to fail, and see what is alive.
struct FaultInjection {
  bool startup = false;          // GdiplusStartup returns GenericError
  bool create_graphics = false;  // GdipCreateFromHDC returns OutOfMemory
  bool create_bitmap = false;    // GdipCreateBitmapFromHBITMAP returns OutOfMemory
  bool draw = false;             // GdipDrawImageRect returns GenericError
};
FaultInjection& Faults();
struct LiveObjects {
  int sessions = 0;
  int graphics = 0;
  int images = 0;
};
LiveObjects Live();

// The world transform a graphics object holds (tests).
platform::Affine WorldTransform(const GpGraphics* graphics);

}  // namespace mod_Gdiplus

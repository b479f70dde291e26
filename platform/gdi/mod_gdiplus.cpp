#include "platform/gdi/mod_gdiplus.h"

#include <cmath>
#include <numbers>

#include "platform/base/trace.h"
#include "platform/pixels/drawing.h"

namespace mod_Gdiplus {

using platform::Affine;
using platform::Bitmap;
using platform::TraceRecord;
using platform::Tracing;

struct GpGraphics {
  platform::Surface* target;
  Affine world;
};

struct GpImage {
  platform::Surface* surface;
};

namespace {

FaultInjection faults;
LiveObjects live;
ULONG_PTR next_token = 0;

GpStatus Traced(const char* call, GpStatus status) {
  if (Tracing()) TraceRecord(call).Number("status", int64_t{status}).Emit();
  return status;
}

GpStatus TracedOn(const char* call, platform::Surface* surface, GpStatus status) {
  if (Tracing()) {
    TraceRecord(call)
        .Text("surface", surface ? surface->Name() : "")
        .Number("status", int64_t{status})
        .Emit();
  }
  return status;
}

void Compose(GpGraphics* graphics, const Affine& step, MatrixOrder order) {
  graphics->world =
      order == MatrixOrderAppend ? graphics->world.Then(step) : step.Then(graphics->world);
}

}  // namespace

FaultInjection& Faults() {
  return faults;
}
LiveObjects Live() {
  return live;
}
Affine WorldTransform(const GpGraphics* graphics) {
  return graphics->world;
}

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output) {
  GpStatus status = Ok;
  if (faults.startup) {
    status = GenericError;
  } else if (token == nullptr || input == nullptr || output != nullptr) {
    status = InvalidParameter;
  } else if (input->GdiplusVersion != 1) {
    status = NotImplemented;
  } else {
    *token = ++next_token;
    ++live.sessions;
  }
  return Traced("GdiplusStartup", status);
}

void GdiplusShutdown(ULONG_PTR token) {
  if (token != 0 && live.sessions > 0) --live.sessions;
  if (Tracing()) TraceRecord("GdiplusShutdown").Emit();
}

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics) {
  GpStatus status = Ok;
  if (live.sessions == 0) {
    status = GdiplusNotInitialized;
  } else if (hdc == nullptr || graphics == nullptr) {
    status = InvalidParameter;
  } else if (faults.create_graphics) {
    status = OutOfMemory;
  } else {
    *graphics = new GpGraphics{hdc, Affine{}};
    ++live.graphics;
  }
  return TracedOn("GdipCreateFromHDC", hdc, status);
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
  if (graphics != nullptr) {
    delete graphics;
    --live.graphics;
  }
  if (Tracing()) TraceRecord("GdipDeleteGraphics").Emit();
  return graphics != nullptr ? Ok : InvalidParameter;
}

GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE palette, GpBitmap** bitmap) {
  GpStatus status = Ok;
  if (live.sessions == 0) {
    status = GdiplusNotInitialized;
  } else if (hbm == nullptr || bitmap == nullptr || palette != nullptr) {
    status = InvalidParameter;
  } else if (faults.create_bitmap) {
    status = OutOfMemory;
  } else {
    *bitmap = new GpImage{hbm};
    ++live.images;
  }
  return TracedOn("GdipCreateBitmapFromHBITMAP", hbm, status);
}

GpStatus GdipDisposeImage(GpImage* image) {
  if (image != nullptr) {
    delete image;
    --live.images;
  }
  if (Tracing()) TraceRecord("GdipDisposeImage").Emit();
  return image != nullptr ? Ok : InvalidParameter;
}

GpStatus GdipRotateWorldTransform(GpGraphics* graphics, float angle, MatrixOrder order) {
  GpStatus status = graphics == nullptr ? InvalidParameter : Ok;
  if (status == Ok) {
    const double radians = static_cast<double>(angle) * std::numbers::pi / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    if (std::isfinite(c) && std::isfinite(s)) {
      Compose(graphics, Affine{c, s, -s, c, 0, 0}, order);
    } else {
      status = InvalidParameter;
    }
  }
  if (Tracing()) {
    TraceRecord("GdipRotateWorldTransform")
        .Number("angle", angle)
        .Number("order", int64_t{order})
        .Emit();
  }
  return status;
}

GpStatus GdipTranslateWorldTransform(GpGraphics* graphics, float dx, float dy, MatrixOrder order) {
  const bool ok = graphics != nullptr && std::isfinite(dx) && std::isfinite(dy);
  if (ok) Compose(graphics, Affine{1, 0, 0, 1, dx, dy}, order);
  if (Tracing()) {
    TraceRecord("GdipTranslateWorldTransform")
        .Number("dx", dx)
        .Number("dy", dy)
        .Number("order", int64_t{order})
        .Emit();
  }
  return ok ? Ok : InvalidParameter;
}

namespace {

GpStatus Draw(GpGraphics* graphics, GpImage* image, float x, float y, float width, float height) {
  if (graphics == nullptr || image == nullptr) return InvalidParameter;
  if (faults.draw) return GenericError;
  Bitmap& target = graphics->target->Pixels();
  const Bitmap& source = image->surface->Pixels();
  if (source.empty() || width == 0 || height == 0) return Ok;  // nothing to draw
  const Affine place{static_cast<double>(width) / source.width(),   0, 0,
                     static_cast<double>(height) / source.height(), x, y};
  const Affine to_target = place.Then(graphics->world);
  if (!to_target.Inverse()) return InvalidParameter;
  // The draw reads the source's image as it is now, even when the source is the target.
  if (platform::UseReferencePath()) {
    platform::ReferenceDrawTransformedPixels(target, source, to_target);
  } else {
    platform::DrawTransformedPixels(target, source, to_target);
  }
  graphics->target->PixelsChanged();
  return Ok;
}

}  // namespace

GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, float x, float y, float width,
                           float height) {
  const GpStatus status = Draw(graphics, image, x, y, width, height);
  if (Tracing()) {
    TraceRecord("GdipDrawImageRect")
        .Numbers("rect", {static_cast<int64_t>(x), static_cast<int64_t>(y),
                          static_cast<int64_t>(width), static_cast<int64_t>(height)})
        .Number("status", int64_t{status})
        .Emit();
  }
  return status;
}

}  // namespace mod_Gdiplus

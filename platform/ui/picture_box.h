// PictureBox: a picture surface. A child window of a Form with a persistent image of
// 32-bit pixels that every drawing call lands in and that painting shows.
//
// Sizes: Width/Height are the outer size in the window's unit; with BorderStyle 1 a
// 2-pixel border lies inside them. ScaleWidth/ScaleHeight are the drawing area in the
// surface's own unit (ScaleMode: 1 twips, the default, or 3 pixels). The persistent image
// always covers the whole drawing area: after a resize the shared pixels stay and the
// rest takes BackColor.
#pragma once

#include <memory>

#include "platform/gdi/surface.h"
#include "platform/pixels/picture.h"
#include "platform/pixels/bitmap.h"
#include "platform/ui/control.h"

namespace platform {

class SurfaceView;

// The persistent image as a picture: size in HiMetric and a bitmap handle.
struct ImageInfo {
  int32_t Width = 0;
  int32_t Height = 0;
  HBITMAP Handle = nullptr;
};

class PictureBox : public Control, public Surface, public Window, public Scaler {
 public:
  PictureBox(std::string name, Form& container);
  ~PictureBox() override;

  const std::string& Name() const override { return Control::Name(); }

  int ScaleMode() const { return scale_mode_; }
  void SetScaleMode(int mode);
  bool AutoRedraw() const { return auto_redraw_; }
  void SetAutoRedraw(bool value) { auto_redraw_ = value; }
  int BorderStyle() const { return border_style_; }
  void SetBorderStyle(int style);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value);
  OleColor BackColor() const { return back_color_; }
  void SetBackColor(OleColor color);

  const platform::Picture& Picture() const { return picture_; }
  // Takes the picture into the persistent image at (0, 0), composited over what is there;
  // with AutoSize the surface first takes the picture's size.
  void SetPicture(const platform::Picture& picture);

  float ScaleWidth() const;
  float ScaleHeight() const;
  float ScaleX(float value, int from_unit, int to_unit) const override;

  void Cls();
  void Refresh();
  // Draws the picture at its own size at (x, y) of the persistent image (own unit),
  // composited over what is there.
  void PaintPicture(const platform::Picture& picture, float x, float y);

  HDC hDC() { return this; }
  HWND hWnd() { return this; }
  ImageInfo Image();

  // Surface and Window.
  Bitmap& Pixels() override { return image_; }
  const Bitmap& Pixels() const { return image_; }
  void PixelsChanged() override;
  void SetOuterSizePixels(int32_t width, int32_t height) override;

  int32_t BorderPixels() const { return border_style_ == 0 ? 0 : 2; }

  // The fit view (presentation only: place, size and pixels stay as they are): the
  // persistent image shown whole within room_width x room_height pixels, never enlarged.
  void SetFitView(bool fit, int32_t room_width, int32_t room_height);
  bool FitView() const;
  // The scale the image is shown at: 1 unless the fit view shrinks it.
  double ShownScale() const;

 protected:
  void ValidateSize(int32_t width, int32_t height) const override;
  void SizeChanged() override;

 private:
  void FitImage();
  void Composite(const platform::Picture& picture, int32_t x, int32_t y);

  SurfaceView* view_;
  int scale_mode_ = scale_mode::kTwips;
  bool auto_redraw_ = false;
  int border_style_ = 1;
  bool auto_size_ = false;
  OleColor back_color_;
  platform::Picture picture_;
  Bitmap image_;
};

}  // namespace platform

#include "platform/ui/picture_box.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>

#include "platform/base/error.h"
#include "platform/base/runtime.h"
#include "platform/base/trace.h"
#include "platform/pixels/drawing.h"
#include "platform/ui/form.h"
#include "platform/ui/surface_view.h"

namespace platform {

namespace {

OleColor DefaultWindowColor() {
  const QColor color = QApplication::palette().color(QPalette::Window);
  return OleColorFromPixel(color.rgb());
}

}  // namespace

PictureBox::PictureBox(std::string name, Form& container)
    : Control(std::move(name), container, new SurfaceView(*this, container.widget())),
      view_(static_cast<SurfaceView*>(widget())),
      back_color_(DefaultWindowColor()) {}

PictureBox::~PictureBox() = default;

void PictureBox::SetScaleMode(int mode) {
  TwipsPerUnit(mode);  // raises for an unknown unit
  scale_mode_ = mode;
}

void PictureBox::SetBorderStyle(int style) {
  if (style != 0 && style != 1) {
    throw Error(ErrorNumber::kInvalidPropertyValue, "Invalid property value: BorderStyle");
  }
  border_style_ = style;
  if (auto_size_ && !picture_.empty()) {
    FitImage();
  } else {
    SizeChanged();  // the drawing area changed inside the same outer size
  }
}

void PictureBox::SetAutoSize(bool value) {
  auto_size_ = value;
  if (auto_size_ && !picture_.empty()) FitImage();
}

void PictureBox::SetBackColor(OleColor color) {
  back_color_ = color & 0x00FFFFFF;
  if (Tracing())
    TraceRecord("BackColor").Text("surface", Name()).Number("value", int64_t{back_color_}).Emit();
  // As Cls does: what is drawn next lands on the new colour, the black background of a
  // display surface included.
  image_.Fill(PixelFromOleColor(back_color_));
  PixelsChanged();
  view_->RequestRepaint();  // the border and any uncovered part show it
}

void PictureBox::SetPicture(const platform::Picture& picture) {
  picture_ = picture;
  if (auto_size_ && !picture_.empty()) FitImage();
  if (!picture_.empty()) Composite(picture_, 0, 0);
  PixelsChanged();
}

void PictureBox::FitImage() {
  const int32_t border = 2 * BorderPixels();
  SetOuterSizePixels(Add32(picture_.WidthPixels(), border), Add32(picture_.HeightPixels(), border));
}

float PictureBox::ScaleWidth() const {
  return static_cast<float>(image_.width() * kTwipsPerPixel / TwipsPerUnit(scale_mode_));
}

float PictureBox::ScaleHeight() const {
  return static_cast<float>(image_.height() * kTwipsPerPixel / TwipsPerUnit(scale_mode_));
}

float PictureBox::ScaleX(float value, int from_unit, int to_unit) const {
  return ConvertUnits(value, from_unit, to_unit);
}

void PictureBox::SetFitView(bool fit, int32_t room_width, int32_t room_height) {
  view_->SetFit(fit, QSize(room_width, room_height));
}

bool PictureBox::FitView() const {
  return view_->Fit();
}

double PictureBox::ShownScale() const {
  return view_->FitScale();
}

void PictureBox::Cls() {
  if (Tracing()) TraceRecord("Cls").Text("surface", Name()).Emit();
  image_.Fill(PixelFromOleColor(back_color_));
  PixelsChanged();
}

void PictureBox::Refresh() {
  if (Tracing()) TraceRecord("Refresh").Text("surface", Name()).Emit();
  view_->repaint();
}

void PictureBox::PaintPicture(const platform::Picture& picture, float x, float y) {
  const double unit = TwipsPerUnit(scale_mode_) / kTwipsPerPixel;
  Composite(picture, Round32(x * unit), Round32(y * unit));
  PixelsChanged();
}

void PictureBox::Composite(const platform::Picture& picture, int32_t x, int32_t y) {
  if (picture.empty()) return;
  const Bitmap& from = picture.pixels();
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{x} + from.width(), image_.width());
  const int64_t y1 = std::min<int64_t>(int64_t{y} + from.height(), image_.height());
  if (x0 >= x1 || y0 >= y1) return;
  // An opaque picture of the surface's own size replaces it: the surface holds the
  // picture's own image (a start-up with nothing shown never copies a large photo).
  if (picture.opaque() && x == 0 && y == 0 && from.width() == image_.width() &&
      from.height() == image_.height()) {
    image_.Set(from.image());
    return;
  }
  CompositePixels(image_, from, x, y);
}

ImageInfo PictureBox::Image() {
  return ImageInfo{HiMetricFromPixels(image_.width()), HiMetricFromPixels(image_.height()), this};
}

void PictureBox::PixelsChanged() {
  view_->RequestRepaint();
}

void PictureBox::SetOuterSizePixels(int32_t width, int32_t height) {
  // A window may refuse a size (its minimum and maximum bound it); callers read the size
  // it took.
  width = std::clamp(width, view_->minimumWidth(),
                     std::max(view_->minimumWidth(), view_->maximumWidth()));
  height = std::clamp(height, view_->minimumHeight(),
                      std::max(view_->minimumHeight(), view_->maximumHeight()));
  SetGeometryPixels(LeftPixels(), TopPixels(), width, height);
}

void PictureBox::ValidateSize(int32_t width, int32_t height) const {
  const int32_t border = 2 * BorderPixels();
  image_.CheckFits(width - border, height - border, Name());
}

void PictureBox::SizeChanged() {
  const int32_t border = 2 * BorderPixels();
  const int32_t width = std::max(WidthPixels() - border, 0);
  const int32_t height = std::max(HeightPixels() - border, 0);
  if (width == image_.width() && height == image_.height()) return;
  image_.Resize(width, height, PixelFromOleColor(back_color_), Name());
  if (Tracing()) {
    TraceRecord("Resize")
        .Text("surface", Name())
        .Number("width", int64_t{WidthPixels()})
        .Number("height", int64_t{HeightPixels()})
        .Emit();
  }
  PixelsChanged();
}

}  // namespace platform

#include "platform/ui/control.h"

#include <QWidget>
#include <cmath>

#include "platform/base/error.h"
#include "platform/ui/form.h"
#include "platform/base/runtime.h"

namespace platform {

Control::Control(std::string name, Form& container, QWidget* widget)
    : name_(std::move(name)), container_(container), widget_(widget) {}

Control::~Control() = default;

int32_t Control::ToPixels(float value) const {
  return Round32(CheckFloat(value * TwipsPerUnit(container_.ScaleMode()) / kTwipsPerPixel));
}

int32_t Control::SizeToPixels(float value) const {
  if (value < 0) {
    throw Error(ErrorNumber::kInvalidPropertyValue,
                "Invalid property value: negative size for " + name_);
  }
  return ToPixels(value);
}

float Control::FromPixels(int32_t pixels) const {
  return static_cast<float>(pixels * kTwipsPerPixel / TwipsPerUnit(container_.ScaleMode()));
}

float Control::Left() const {
  return FromPixels(left_);
}
float Control::Top() const {
  return FromPixels(top_);
}
float Control::Width() const {
  return FromPixels(width_);
}
float Control::Height() const {
  return FromPixels(height_);
}

void Control::SetLeft(float value) {
  SetGeometryPixels(ToPixels(value), top_, width_, height_);
}
void Control::SetTop(float value) {
  SetGeometryPixels(left_, ToPixels(value), width_, height_);
}
void Control::SetWidth(float value) {
  SetGeometryPixels(left_, top_, SizeToPixels(value), height_);
}
void Control::SetHeight(float value) {
  SetGeometryPixels(left_, top_, width_, SizeToPixels(value));
}

void Control::Move(float left, float top, float width, float height) {
  SetGeometryPixels(ToPixels(left), ToPixels(top), SizeToPixels(width), SizeToPixels(height));
}

void Control::SetGeometryPixels(int32_t left, int32_t top, int32_t width, int32_t height) {
  const bool resized = width != width_ || height != height_;
  if (resized) ValidateSize(width, height);
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  // The toolkit keeps sizes in int; anything it cannot show stays in our numbers.
  widget_->setGeometry(left, top, std::min(width, 1 << 24), std::min(height, 1 << 24));
  if (resized) SizeChanged();
}

void Control::SetVisible(bool visible) {
  visible_ = visible;
  widget_->setVisible(visible);
}

}  // namespace platform

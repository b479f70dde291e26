// What every control of a window has: a name, a place and size in its window's unit,
// visibility, and the toolkit widget that shows it.
#pragma once

#include <cstdint>
#include <string>

class QWidget;

namespace platform {

class Form;

class Control {
 public:
  Control(std::string name, Form& container, QWidget* widget);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  int TabIndex() const { return tab_index_; }
  void SetTabIndex(int index) { tab_index_ = index; }

  // Place and outer size in the window's unit (its ScaleMode). Setting a negative size
  // raises the invalid-property-value error. A change takes effect at once.
  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;
  void SetLeft(float value);
  void SetTop(float value);
  void SetWidth(float value);
  void SetHeight(float value);
  void Move(float left, float top, float width, float height);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // The same in pixels, whatever the window's unit.
  int32_t LeftPixels() const { return left_; }
  int32_t TopPixels() const { return top_; }
  int32_t WidthPixels() const { return width_; }
  int32_t HeightPixels() const { return height_; }
  void SetGeometryPixels(int32_t left, int32_t top, int32_t width, int32_t height);

  QWidget* widget() const { return widget_; }
  Form& container() const { return container_; }

 protected:
  // Called before a new outer size is taken, to refuse it (by raising) while nothing has
  // changed yet; then after it was taken.
  virtual void ValidateSize(int32_t /*width*/, int32_t /*height*/) const {}
  virtual void SizeChanged() {}

 private:
  int32_t ToPixels(float value) const;
  int32_t SizeToPixels(float value) const;
  float FromPixels(int32_t pixels) const;

  std::string name_;
  Form& container_;
  QWidget* widget_;  // owned by the window's widget tree
  int tab_index_ = 0;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
};

}  // namespace platform

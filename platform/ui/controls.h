// The two controls besides picture surfaces: a label and a horizontal scroll bar.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/control.h"

class QLabel;
class QScrollBar;

namespace platform {

class Label : public Control {
 public:
  Label(std::string name, Form& container);
  std::string Caption() const;
  void SetCaption(const std::string& caption);

 private:
  QLabel* label_;
};

// Raises Change after the value changed through a click on an arrow or in the trough,
// a key, code, or the end of a drag of the thumb; Scroll for every move of the thumb
// while it is dragged. Never both for one move. Handlers are plain callbacks: the
// window wraps them so that no error escapes into the event loop.
class HScrollBar : public Control {
 public:
  HScrollBar(std::string name, Form& container);

  int Value() const;
  void SetValue(int value);
  // Moves to `value` as a key press does: Change follows every press, even one that
  // leaves the bar where it was.
  void Press(int value);
  // Moves the thumb to `value` (kept within the range) and raises no event: for a window
  // whose angle is finer than the bar's steps, to show the nearest step.
  void ShowValue(int value);
  int Min() const;
  int Max() const;
  void SetMin(int value);
  void SetMax(int value);
  int SmallChange() const;
  int LargeChange() const;
  void SetSmallChange(int value);
  void SetLargeChange(int value);

  std::function<void()> on_change;
  std::function<void()> on_scroll;

  QScrollBar* bar() const { return bar_; }

 private:
  void Raise(const std::function<void()>& handler) const;
  QScrollBar* bar_;
};

}  // namespace platform

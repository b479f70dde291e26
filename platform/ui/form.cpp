#include "platform/ui/form.h"

#include <QWidget>
#include <algorithm>

#include "platform/base/error.h"
#include "platform/ui/controls.h"
#include "platform/ui/picture_box.h"

namespace platform {

namespace {

int Pixels(int twips) {
  return static_cast<int>(twips / kTwipsPerPixel);
}

}  // namespace

Form::Form(const FormDescription& description)
    : name_(description.name),
      link_topic_(description.link_topic),
      start_up_position_(description.start_up_position),
      scale_mode_(scale_mode::kTwips),
      widget_(std::make_unique<QWidget>()) {
  widget_->setWindowTitle(QString::fromUtf8(description.caption.data(),
                                            static_cast<qsizetype>(description.caption.size())));
  widget_->resize(Pixels(description.client_width), Pixels(description.client_height));
  for (const ControlDescription& control : description.controls) Add(control);
  SetScaleMode(description.scale_mode);
  ArrangeFocusAndStacking();
}

Form::~Form() {
  // Before the widget tree that holds their widgets.
  controls_.clear();
}

std::string Form::Caption() const {
  return widget_->windowTitle().toStdString();
}

void Form::SetScaleMode(int mode) {
  TwipsPerUnit(mode);  // raises for an unknown unit
  scale_mode_ = mode;
}

float Form::ScaleX(float value, int from_unit, int to_unit) const {
  return ConvertUnits(value, from_unit, to_unit);
}

void Form::Add(const ControlDescription& d) {
  std::unique_ptr<Control> control;
  switch (d.kind) {
    case ControlKind::kPictureBox:
      control = std::make_unique<PictureBox>(std::string(d.name), *this);
      break;
    case ControlKind::kHScrollBar: {
      auto bar = std::make_unique<HScrollBar>(std::string(d.name), *this);
      bar->SetMin(d.min);
      bar->SetMax(d.max);
      bar->SetSmallChange(d.small_change);
      bar->SetLargeChange(d.large_change);
      control = std::move(bar);
      break;
    }
    case ControlKind::kLabel: {
      auto label = std::make_unique<Label>(std::string(d.name), *this);
      label->SetCaption(std::string(d.caption));
      control = std::move(label);
      break;
    }
  }
  control->SetTabIndex(d.tab_index);
  control->SetGeometryPixels(Pixels(d.left), Pixels(d.top), Pixels(d.width), Pixels(d.height));
  order_.push_back(control.get());
  controls_.emplace(std::string(d.name), std::move(control));
}

void Form::ArrangeFocusAndStacking() {
  std::vector<Control*> by_tab = order_;
  std::stable_sort(by_tab.begin(), by_tab.end(), [](const Control* a, const Control* b) {
    return a->TabIndex() < b->TabIndex();
  });
  QWidget* previous = nullptr;
  for (Control* control : by_tab) {
    if (control->widget()->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, control->widget());
    previous = control->widget();
  }
  // Input stays on top: a large picture must never hide the only way to turn it.
  for (Control* control : order_) {
    if (dynamic_cast<PictureBox*>(control) == nullptr) control->widget()->raise();
  }
}

Control& Form::Named(std::string_view name) const {
  const auto found = controls_.find(name);
  if (found == controls_.end()) {
    throw Error(ErrorNumber::kObjectNotFound,
                "Object required: " + name_ + " has no control " + std::string(name));
  }
  return *found->second;
}

template <typename T>
static T& As(Control& control, const std::string& form) {
  auto* typed = dynamic_cast<T*>(&control);
  if (typed == nullptr) {
    throw Error(ErrorNumber::kTypeMismatch,
                "Type mismatch: " + form + "." + control.Name() + " is another kind of control");
  }
  return *typed;
}

PictureBox& Form::PictureBoxNamed(std::string_view name) const {
  return As<PictureBox>(Named(name), name_);
}
HScrollBar& Form::ScrollBarNamed(std::string_view name) const {
  return As<HScrollBar>(Named(name), name_);
}
Label& Form::LabelNamed(std::string_view name) const {
  return As<Label>(Named(name), name_);
}

void Form::Show() {
  widget_->show();
  // Without a window manager nothing else gives the new window the keyboard.
  widget_->activateWindow();
  // The bar is the window's only input: it starts with the keyboard focus.
  for (Control* control : order_) {
    if (control->widget()->focusPolicy() != Qt::NoFocus) {
      control->widget()->setFocus();
      break;
    }
  }
}

QWidget* Form::widget() const {
  return widget_.get();
}

}  // namespace platform

#include "platform/ui/controls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include "platform/base/error.h"
#include "platform/ui/form.h"

namespace platform {

namespace {

// Page keys move a horizontal bar toward the end they name, as Home and End do:
// PageDown toward End (larger values), PageUp toward Home.
class ScrollBarWidget : public QScrollBar {
 public:
  using QScrollBar::QScrollBar;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_PageDown) {
      triggerAction(SliderPageStepAdd);
    } else if (event->key() == Qt::Key_PageUp) {
      triggerAction(SliderPageStepSub);
    } else {
      QScrollBar::keyPressEvent(event);
    }
  }
};

}  // namespace

Label::Label(std::string name, Form& container)
    : Control(std::move(name), container, new QLabel(container.widget())),
      label_(static_cast<QLabel*>(widget())) {
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Opaque, so that its text stays readable over a large picture beneath it.
  label_->setAutoFillBackground(true);
}

std::string Label::Caption() const {
  return label_->text().toStdString();
}
void Label::SetCaption(const std::string& caption) {
  label_->setText(QString::fromStdString(caption));
}

HScrollBar::HScrollBar(std::string name, Form& container)
    : Control(std::move(name), container, new ScrollBarWidget(Qt::Horizontal, container.widget())),
      bar_(static_cast<QScrollBar*>(widget())) {
  bar_->setFocusPolicy(Qt::StrongFocus);
  // The toolkit's scroll bars invert their keys by default (Left adds); here the arrow
  // keys move the thumb the way they point.
  bar_->setInvertedControls(false);
  bar_->setRange(0, 32767);
  bar_->setValue(0);
  QObject::connect(bar_, &QScrollBar::valueChanged, bar_,
                   [this](int) { Raise(bar_->isSliderDown() ? on_scroll : on_change); });
  QObject::connect(bar_, &QScrollBar::sliderReleased, bar_, [this] { Raise(on_change); });
}

void HScrollBar::Raise(const std::function<void()>& handler) const {
  if (handler) handler();
}

int HScrollBar::Value() const {
  return bar_->value();
}

void HScrollBar::SetValue(int value) {
  if (value < bar_->minimum() || value > bar_->maximum()) {
    throw Error(
        ErrorNumber::kInvalidPropertyValue,
        "Invalid property value: " + std::to_string(value) + " is outside the range of " + Name());
  }
  bar_->setValue(value);
}

void HScrollBar::Press(int value) {
  if (value == Value()) {
    Raise(on_change);
  } else {
    SetValue(value);
  }
}

void HScrollBar::ShowValue(int value) {
  const QSignalBlocker quiet(bar_);
  bar_->setValue(value);
}

int HScrollBar::Min() const {
  return bar_->minimum();
}
int HScrollBar::Max() const {
  return bar_->maximum();
}
void HScrollBar::SetMin(int value) {
  bar_->setMinimum(value);
}
void HScrollBar::SetMax(int value) {
  bar_->setMaximum(value);
}
int HScrollBar::SmallChange() const {
  return bar_->singleStep();
}
int HScrollBar::LargeChange() const {
  return bar_->pageStep();
}
void HScrollBar::SetSmallChange(int value) {
  bar_->setSingleStep(value);
}
void HScrollBar::SetLargeChange(int value) {
  bar_->setPageStep(value);
}

}  // namespace platform

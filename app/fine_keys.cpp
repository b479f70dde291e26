#include "app/fine_keys.h"

#include <QKeySequence>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

#include "app/frm_main.h"
#include "app/picture_overlay.h"
#include "platform/ui/error_report.h"

namespace app {

namespace {
// One notch of a mouse wheel, in the toolkit's eighths of a degree.
constexpr int kNotch = 120;
}  // namespace

FineKeys::FineKeys(frm_Main& form) : form_(form) {
  QWidget* window = form.widget();
  up_ = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Right), window);
  down_ = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Left), window);
  for (QShortcut* key : {up_.data(), down_.data()}) key->setContext(Qt::WindowShortcut);
  QObject::connect(up_, &QShortcut::activated, this, [this] { Step(1); });
  QObject::connect(down_, &QShortcut::activated, this, [this] { Step(-1); });
  form.pDes.widget()->installEventFilter(this);
  QObject::connect(form.hsTurn.bar(), &QAbstractSlider::actionTriggered, this,
                   [this](int action) { BarActed(action); });
}

FineKeys::~FineKeys() {
  delete up_;
  delete down_;
  if (QWidget* view = form_.pDes.widget()) view->removeEventFilter(this);
}

void FineKeys::Step(int step) {
  platform::RunHandler([&] { form_.StepTenths(step); });
}

// A key or click whose step the bar's end swallows raises no Change, and would leave a
// fine angle in place: it still puts the angle back on the bar's value, as a move would.
void FineKeys::BarActed(int action) {
  QScrollBar* bar = form_.hsTurn.bar();
  if (action == QAbstractSlider::SliderMove || bar->sliderPosition() != bar->value()) return;
  // After the bar's own handling of the gesture, which must not run inside a turn.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (form_.Tenths() != 10 * form_.hsTurn.Value()) {
          platform::RunHandler([this] { form_.hsTurn_Change(); });
        }
      },
      Qt::QueuedConnection);
}

bool FineKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Wheel) return QObject::eventFilter(watched, event);
  auto* wheel = static_cast<QWheelEvent*>(event);
  const QPoint at = form_.pDes.widget()->mapTo(form_.widget(), wheel->position().toPoint());
  if (!(wheel->modifiers() & Qt::ShiftModifier) || !ShownPicture(form_).contains(at)) {
    return QObject::eventFilter(watched, event);
  }
  // Some systems turn a wheel held with Shift into a sideways one.
  const QPoint delta = wheel->angleDelta();
  wheel_ += delta.y() != 0 ? delta.y() : delta.x();
  const int steps = wheel_ / kNotch;  // away from the hand: clockwise, as on the bar
  wheel_ -= steps * kNotch;
  if (steps != 0) Step(steps);
  return true;
}

}  // namespace app

#include "app/straighten_line.h"

#include <QKeySequence>
#include <QMouseEvent>
#include <QWidget>
#include <cmath>
#include <utility>

#include "app/angle_tenths.h"
#include "app/frm_main.h"
#include "app/picture_overlay.h"
#include "platform/ui/error_report.h"

namespace app {

StraightenLine::StraightenLine(frm_Main& form, PictureOverlay& overlay)
    : form_(form), overlay_(overlay) {
  escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), form.widget());
  escape_->setContext(Qt::WindowShortcut);
  escape_->setEnabled(false);  // Esc means nothing but during a drag
  QObject::connect(escape_, &QShortcut::activated, this, [this] { Cancel(); });
  form.pDes.widget()->installEventFilter(this);
}

StraightenLine::~StraightenLine() {
  delete escape_;
  if (QWidget* view = form_.pDes.widget()) view->removeEventFilter(this);
}

void StraightenLine::Cancel() {
  if (!start_) return;
  start_.reset();
  swallow_release_ = true;
  escape_->setEnabled(false);
  overlay_.SetLine(std::nullopt);
}

bool StraightenLine::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
      type != QEvent::MouseButtonRelease) {
    return QObject::eventFilter(watched, event);
  }
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint at = form_.pDes.widget()->mapTo(form_.widget(), mouse->position().toPoint());
  if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
    if (!ShownPicture(form_).contains(at)) return QObject::eventFilter(watched, event);
    start_ = at;
    swallow_release_ = false;
    escape_->setEnabled(true);
    overlay_.SetLine(QLine(at, at));
    return true;
  }
  if (type == QEvent::MouseMove && start_) {
    overlay_.SetLine(QLine(*start_, at));
    return true;
  }
  if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
    if (start_) {
      Release(at);
      return true;
    }
    if (std::exchange(swallow_release_, false)) return true;
  }
  return QObject::eventFilter(watched, event);
}

void StraightenLine::Release(QPoint end) {
  const QPoint start = *start_;
  start_.reset();
  escape_->setEnabled(false);
  overlay_.SetLine(std::nullopt);
  const QPoint d = end - start;
  if (std::hypot(d.x(), d.y()) < kShortestLine) return;
  platform::RunHandler(
      [&] { form_.MoveToTenths(StraightenedTenths(form_.Tenths(), d.x(), d.y())); });
}

}  // namespace app

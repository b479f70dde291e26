#include "app/fit_view.h"

#include <QEvent>
#include <QKeySequence>
#include <QSettings>
#include <QShortcut>
#include <QWidget>

#include "app/frm_main.h"

namespace app {

namespace {
// The margin kept clear around the picture: pDes's own distance from the window's edge.
constexpr int kMargin = 10;
}  // namespace

FitView::FitView(frm_Main& form, QSettings& settings) : form_(form), settings_(settings) {
  QWidget* window = form.widget();
  fit_ = new QShortcut(QKeySequence(Qt::Key_F), window);
  one_ = new QShortcut(QKeySequence(Qt::Key_1), window);
  fit_->setContext(Qt::WindowShortcut);
  one_->setContext(Qt::WindowShortcut);
  QObject::connect(fit_, &QShortcut::activated, this, [this] { Toggle(); });
  QObject::connect(one_, &QShortcut::activated, this, [this] { Set(false); });
  window->installEventFilter(this);  // the room changes with the window's size
  on_ = settings_.value(kFitViewSetting, false).toBool();
  ShowFitView(form, on_);
}

FitView::~FitView() {
  delete fit_;
  delete one_;
  if (QWidget* window = form_.widget()) window->removeEventFilter(this);
}

void FitView::Set(bool on) {
  on_ = on;
  settings_.setValue(kFitViewSetting, on_);
  ShowFitView(form_, on_);
}

void ShowFitView(frm_Main& form, bool on) {
  const int width = form.widget()->width() - 2 * kMargin;
  const int height = form.hsTurn.TopPixels() - 2 * kMargin;
  form.pDes.SetFitView(on, width, height);
}

bool FitView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) ShowFitView(form_, on_);
  return QObject::eventFilter(watched, event);
}

}  // namespace app

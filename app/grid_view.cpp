#include "app/grid_view.h"

#include <QKeySequence>
#include <QSettings>
#include <QWidget>

#include "app/frm_main.h"
#include "app/picture_overlay.h"

namespace app {

GridView::GridView(frm_Main& form, PictureOverlay& overlay, QSettings& settings)
    : overlay_(overlay), settings_(settings) {
  key_ = new QShortcut(QKeySequence(Qt::Key_G), form.widget());
  key_->setContext(Qt::WindowShortcut);
  QObject::connect(key_, &QShortcut::activated, this, [this] { Toggle(); });
  overlay_.SetGrid(settings_.value(kGridSetting, false).toBool());
}

GridView::~GridView() {
  delete key_;
}

bool GridView::On() const {
  return overlay_.Grid();
}

void GridView::Set(bool on) {
  settings_.setValue(kGridSetting, on);
  overlay_.SetGrid(on);
}

}  // namespace app

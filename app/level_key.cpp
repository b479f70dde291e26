#include "app/level_key.h"

#include <QKeySequence>
#include <QToolTip>
#include <QWidget>

#include "app/angle_tenths.h"
#include "app/frm_main.h"

namespace app {

platform::LevelSuggestion LevelOf(const platform::Picture& picture) {
  if (picture.empty()) return {};
  return platform::SuggestLevel(picture.pixels().Read());
}

QString NoLevelTip(const platform::LevelSuggestion& suggestion) {
  return QString::fromStdString(suggestion.reason.empty() ? platform::kNoLevelLine
                                                          : suggestion.reason);
}

LevelKey::LevelKey(frm_Main& form) : form_(form) {
  key_ = new QShortcut(QKeySequence(Qt::Key_L), form.widget());
  key_->setContext(Qt::WindowShortcut);
  QObject::connect(key_, &QShortcut::activated, this, [this] { Level(); });
  form.on_picture_loaded = [this] { Start(); };
  Start();
}

LevelKey::~LevelKey() {
  form_.on_picture_loaded = nullptr;
  delete key_;
  if (suggestion_.valid()) suggestion_.wait();  // it reads the picture
}

void LevelKey::Start() {
  // A loaded picture's pixels never change; the thread keeps them alive while it reads.
  suggestion_ = std::async(std::launch::async, [picture = form_.pSrc.Picture()] {
                  return LevelOf(picture);
                }).share();
}

const platform::LevelSuggestion& LevelKey::Suggestion() {
  return suggestion_.get();
}

void LevelKey::Level() {
  const platform::LevelSuggestion& suggestion = Suggestion();
  if (!suggestion.level) {
    const QWidget* bar = form_.widget();
    const QPoint at(form_.hsTurn.LeftPixels(), form_.hsTurn.TopPixels());
    QToolTip::showText(bar->mapToGlobal(at), NoLevelTip(suggestion), form_.widget());
    return;
  }
  // To the tenth: a whole value through the bar's usual change, as a key would.
  form_.MoveToTenths(LevelTenths(suggestion.tilt));
}

}  // namespace app

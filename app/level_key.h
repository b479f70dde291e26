// The L key: the angle goes to the tenth of a degree that levels the picture's dominant
// lines; a whole value moves the bar through its usual change. The suggestion is worked out once
// per picture, on a thread of its own as soon as the picture is shown, so that neither the first
// frame nor the key waits.
#pragma once

#include <QObject>
#include <QPointer>
#include <QShortcut>
#include <QString>
#include <future>
#include <memory>

#include "platform/analysis/level.h"
#include "platform/imageio/picture.h"

namespace app {

class frm_Main;

// The suggestion for a loaded picture (worked out here and now); none for no picture.
platform::LevelSuggestion LevelOf(const platform::Picture& picture);

class LevelKey : public QObject {
 public:
  // Starts working out the suggestion for `form`'s picture, and again for each picture
  // opened; watches the window for L from now on.
  explicit LevelKey(frm_Main& form);
  ~LevelKey() override;
  LevelKey(const LevelKey&) = delete;
  LevelKey& operator=(const LevelKey&) = delete;

  // L: the angle to the suggested turn, to a tenth, or, without one, a tooltip by the bar.
  void Level();

  // The suggestion for the current picture (waits for it if still being worked out).
  const platform::LevelSuggestion& Suggestion();

 private:
  void Start();

  frm_Main& form_;
  std::shared_future<platform::LevelSuggestion> suggestion_;
  QPointer<QShortcut> key_;  // the window's: gone with it, or with this if this goes first
};

// The tooltip by the bar when there is no suggestion: why, in a few words.
QString NoLevelTip(const platform::LevelSuggestion& suggestion);

}  // namespace app

// G: a grid over the shown picture to judge a turn by, and G again hides it. Presentation
// only (app/picture_overlay.h): pDes, the trace and saved files are as without it. The
// choice is remembered between runs, as the fit view's is.
#pragma once

#include <QObject>
#include <QPointer>
#include <QShortcut>

class QSettings;

namespace app {

class frm_Main;
class PictureOverlay;

class GridView : public QObject {
 public:
  // Watches `form`'s window for G from now on, and shows the grid at once if `settings`
  // remember it on.
  GridView(frm_Main& form, PictureOverlay& overlay, QSettings& settings);
  ~GridView() override;
  GridView(const GridView&) = delete;
  GridView& operator=(const GridView&) = delete;

  bool On() const;
  void Set(bool on);
  void Toggle() { Set(!On()); }

 private:
  PictureOverlay& overlay_;
  QSettings& settings_;
  QPointer<QShortcut> key_;  // the window's: gone with it, or with this if this goes first
};

// The key under which the choice is remembered.
inline constexpr const char* kGridSetting = "view/grid";

}  // namespace app

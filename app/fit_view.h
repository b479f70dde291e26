// The fit view of the window: F shows the turned picture whole, scaled down into the room
// above the label-and-bar row; F again, or 1, goes back to 1:1. Presentation only: pDes
// keeps its place, size and pixels. The choice is remembered between runs.
#pragma once

#include <QObject>
#include <QPointer>
#include <QShortcut>

class QSettings;

namespace app {

class frm_Main;

// Shows `form`'s turned picture in the fit view, or at 1:1: the room is the window's
// width and the top of the label-and-bar row, less pDes's margin on each side.
void ShowFitView(frm_Main& form, bool on);

class FitView : public QObject {
 public:
  // Watches `form`'s window for F and 1 from now on, and shows the fit view at once if
  // `settings` remember it on.
  FitView(frm_Main& form, QSettings& settings);
  ~FitView() override;
  FitView(const FitView&) = delete;
  FitView& operator=(const FitView&) = delete;

  bool On() const { return on_; }
  void Set(bool on);
  void Toggle() { Set(!on_); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  frm_Main& form_;
  QSettings& settings_;
  bool on_ = false;
  // The window's: gone with it, or with this if this goes first.
  QPointer<QShortcut> fit_, one_;
};

// The key under which the choice is remembered.
inline constexpr const char* kFitViewSetting = "view/fit";

}  // namespace app

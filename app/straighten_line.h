// Straightening by a line: a drag with the right mouse button over the shown picture draws
// a line from the press to the pointer, its angle beside it. On release a line at least 20
// pixels long becomes exactly horizontal, or vertical when it lies nearer that
// (app/angle_tenths.h, StraightenedTenths). Esc during the drag takes the line away and
// changes nothing.
#pragma once

#include <QLine>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QShortcut>
#include <optional>

namespace app {

class frm_Main;
class PictureOverlay;

class StraightenLine : public QObject {
 public:
  // Watches `form`'s picture for the drag from now on; the line shows on `overlay`.
  StraightenLine(frm_Main& form, PictureOverlay& overlay);
  ~StraightenLine() override;
  StraightenLine(const StraightenLine&) = delete;
  StraightenLine& operator=(const StraightenLine&) = delete;

  bool Drawing() const { return start_.has_value(); }
  void Cancel();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Release(QPoint end);

  frm_Main& form_;
  PictureOverlay& overlay_;
  std::optional<QPoint> start_;   // in the window's pixels, while a line is drawn
  bool swallow_release_ = false;  // cancelled: the button's release does nothing
  QPointer<QShortcut> escape_;    // the window's: gone with it, or with this if this goes first
};

// The shortest line that straightens, in screen pixels: a shorter one is taken for a slip.
inline constexpr int kShortestLine = 20;

}  // namespace app

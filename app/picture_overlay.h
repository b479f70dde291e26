// What the window draws over the shown picture and nowhere else: the grid (G) and the line
// being drawn to straighten by (the right mouse button). A thin layer of its own above the
// picture and under the label and the bar; it never touches pDes, and it is hidden, and
// costs nothing, while it has nothing to show.
#pragma once

#include <QLine>
#include <QRect>
#include <QWidget>
#include <optional>
#include <vector>

namespace app {

class frm_Main;

// Where the turned picture shows in the window, in the window's pixels: pDes's place at
// the scale it is shown at (app/fit_view.h), within the window's width and above the
// label-and-bar row. Empty when nothing of it shows.
QRect ShownPicture(const frm_Main& form);

// The grid over `area`: a line every 50 pixels from its top-left corner, and at its thirds.
struct GridLines {
  std::vector<int> xs, ys;              // every 50 pixels, inside the area
  std::vector<int> third_xs, third_ys;  // at a third and two thirds of it
};
GridLines GridOver(QRect area);
inline constexpr int kGridSpacing = 50;

class PictureOverlay : public QWidget {
 public:
  // A child of `form`'s window, over all of it; hidden until there is something to show.
  explicit PictureOverlay(frm_Main& form);

  void SetGrid(bool on);
  bool Grid() const { return grid_; }
  // The line from the press to the pointer, in the window's pixels; none to take it away.
  void SetLine(std::optional<QLine> line);
  const std::optional<QLine>& Line() const { return line_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QRect LineBounds(const QLine& line) const;
  void Follow();

  frm_Main& form_;
  bool grid_ = false;
  std::optional<QLine> line_;
};

}  // namespace app

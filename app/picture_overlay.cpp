#include "app/picture_overlay.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/angle_tenths.h"
#include "app/frm_main.h"

namespace app {

namespace {

// Light lines with a dark edge, so that they show over sky and shadow alike.
void DrawGridLine(QPainter& painter, QLine line, int alpha) {
  painter.setPen(QColor(0, 0, 0, alpha / 2));
  painter.drawLine(line.translated(line.dx() == 0 ? 1 : 0, line.dy() == 0 ? 1 : 0));
  painter.setPen(QColor(255, 255, 255, alpha));
  painter.drawLine(line);
}

QString LineText(const QLine& line) {
  return QString::number(LineAngle(line.dx(), line.dy()), 'f', 1) + QChar(0x00B0);
}

// The box the line's angle is written in: beside the pointer's end, below and right of it.
QRect TextBox(const QFontMetrics& metrics, const QLine& line) {
  constexpr QPoint kOffset{12, 8};
  constexpr int kPadding = 3;
  const QSize text = metrics.size(Qt::TextSingleLine, LineText(line));
  return QRect(line.p2() + kOffset, text + QSize(2 * kPadding, 2 * kPadding));
}

}  // namespace

QRect ShownPicture(const frm_Main& form) {
  const platform::Bitmap& image = form.pDes.Pixels();
  if (image.empty()) return {};
  const double scale = form.pDes.ShownScale();
  // As the fit view sizes its reduced copy.
  const auto side = [scale](int32_t length) {
    return scale < 1 ? std::max<int>(1, static_cast<int>(std::ceil(scale * length))) : length;
  };
  const QPoint corner = form.pDes.widget()->geometry().topLeft() +
                        QPoint(form.pDes.BorderPixels(), form.pDes.BorderPixels());
  const QRect picture(corner, QSize(side(image.width()), side(image.height())));
  return picture.intersected(QRect(0, 0, form.widget()->width(), form.hsTurn.TopPixels()));
}

GridLines GridOver(QRect area) {
  GridLines grid;
  for (int x = area.left() + kGridSpacing; x <= area.right(); x += kGridSpacing) {
    grid.xs.push_back(x);
  }
  for (int y = area.top() + kGridSpacing; y <= area.bottom(); y += kGridSpacing) {
    grid.ys.push_back(y);
  }
  for (int i = 1; i <= 2; ++i) {
    grid.third_xs.push_back(area.left() + area.width() * i / 3);
    grid.third_ys.push_back(area.top() + area.height() * i / 3);
  }
  return grid;
}

PictureOverlay::PictureOverlay(frm_Main& form) : QWidget(form.widget()), form_(form) {
  setAttribute(Qt::WA_TransparentForMouseEvents);  // the picture below keeps its gestures
  setFocusPolicy(Qt::NoFocus);
  stackUnder(form.hsTurn.widget());  // over every picture surface, under the bar and label
  form.widget()->installEventFilter(this);
  Follow();
  hide();
}

void PictureOverlay::Follow() {
  setGeometry(form_.widget()->rect());
}

bool PictureOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize) Follow();
  return QWidget::eventFilter(watched, event);
}

void PictureOverlay::SetGrid(bool on) {
  grid_ = on;
  setVisible(grid_ || line_);
  update();
}

QRect PictureOverlay::LineBounds(const QLine& line) const {
  return QRect(line.p1(), line.p2())
      .normalized()
      .adjusted(-3, -3, 3, 3)
      .united(TextBox(fontMetrics(), line));
}

void PictureOverlay::SetLine(std::optional<QLine> line) {
  // Only where the line was and is: the picture beneath is not drawn again whole at every
  // move of the pointer.
  QRect dirty;
  if (line_) dirty = LineBounds(*line_);
  line_ = line;
  if (line_) dirty = dirty.united(LineBounds(*line_));
  setVisible(grid_ || line_);
  update(dirty);
}

void PictureOverlay::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setClipRegion(event->region());
  if (grid_) {
    const QRect area = ShownPicture(form_);
    if (!area.isEmpty()) {
      painter.save();
      painter.setClipRect(area, Qt::IntersectClip);
      const GridLines grid = GridOver(area);
      for (const int x : grid.xs) DrawGridLine(painter, {x, area.top(), x, area.bottom()}, 70);
      for (const int y : grid.ys) DrawGridLine(painter, {area.left(), y, area.right(), y}, 70);
      for (const int x : grid.third_xs) {
        DrawGridLine(painter, {x, area.top(), x, area.bottom()}, 150);
      }
      for (const int y : grid.third_ys) {
        DrawGridLine(painter, {area.left(), y, area.right(), y}, 150);
      }
      painter.restore();
    }
  }
  if (line_) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 140), 3));
    painter.drawLine(*line_);
    painter.setPen(QPen(QColor(255, 214, 0), 1));
    painter.drawLine(*line_);
    const QRect box = TextBox(fontMetrics(), *line_);
    painter.fillRect(box, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, LineText(*line_));
  }
}

}  // namespace app

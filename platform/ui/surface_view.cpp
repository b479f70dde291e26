#include "platform/ui/surface_view.h"

#include <QImage>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>

#include "platform/ui/picture_box.h"

namespace platform {

SurfaceView::SurfaceView(PictureBox& box, QWidget* parent) : QWidget(parent), box_(box) {
  // Every pixel comes from the persistent image, so the toolkit need not clear first,
  // and a resize exposes only the new area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_StaticContents);
  setFocusPolicy(Qt::NoFocus);
}

void SurfaceView::RequestRepaint() {
  if (repaint_requested_) return;
  repaint_requested_ = true;
  update();
  // Queued behind the repaint the update posts: from then on, changes need a new one.
  QMetaObject::invokeMethod(
      this, [this] { repaint_requested_ = false; }, Qt::QueuedConnection);
}

void SurfaceView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const int border = box_.BorderPixels();
  const Bitmap& image = box_.Pixels();
  const QRect area(border, border, image.width(), image.height());
  const QRect exposed = event->rect();
  const QColor back = QColor::fromRgb(PixelFromOleColor(box_.BackColor()));
  // Whatever the image does not cover (the border, a window larger than the image).
  const QRegion outside = QRegion(exposed).subtracted(area);
  for (const QRect& rect : outside) painter.fillRect(rect, back);
  if (border > 0) {
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
  }
  const QRect visible = exposed.intersected(area);
  if (visible.isEmpty() || image.empty()) return;
  if (const auto clear = image.PendingFill()) {
    // A clear still pending shows as its colour. Carrying it out only to show it would
    // write the whole surface, and the work surfaces are cleared after every turn.
    painter.fillRect(visible, QColor::fromRgb(*clear));
    return;
  }
  const QRect shown = visible.translated(-border, -border);
  // Most of it: all at once, over all the cores; else the part shown.
  const ConstPixelView pixels =
      2 * int64_t{shown.width()} * shown.height() >= int64_t{image.width()} * image.height()
          ? image.Read()
          : image.ReadArea({shown.left(), shown.top(), shown.right() + 1, shown.bottom() + 1});
  // Surface pixels are opaque (every drawing call blends onto an opaque clear). Shown as
  // RGB32 they are copied; shown with their alpha, the toolkit would first scan the whole
  // image for transparent pixels, on every repaint.
  //
  // One plain copy per rectangle of the exposed region: where siblings overlap the view the
  // region has several, and drawn through that region the toolkit fills span by span on
  // its own thread pool while this thread waits, several times slower than the copy.
  const auto stride = static_cast<qsizetype>(pixels.stride) * 4;
  for (const QRect& part : event->region()) {
    const QRect piece = part.intersected(visible);
    if (piece.isEmpty()) continue;
    const QPoint at = piece.topLeft() - QPoint(border, border);
    const QImage view(reinterpret_cast<const uchar*>(pixels.row(at.y()) + at.x()), piece.width(),
                      piece.height(), stride, QImage::Format_RGB32);
    painter.setClipRect(piece);
    painter.drawImage(piece.topLeft(), view);
  }
}

}  // namespace platform

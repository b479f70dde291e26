#include "platform/ui/surface_view.h"

#include <QImage>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/pixels/evaluator.h"
#include "platform/ui/picture_box.h"

namespace platform {

SurfaceView::SurfaceView(PictureBox& box, QWidget* parent) : QWidget(parent), box_(box) {
  // Every pixel comes from the persistent image, so the toolkit need not clear first,
  // and a resize exposes only the new area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_StaticContents);
  setFocusPolicy(Qt::NoFocus);
  rest_.setSingleShot(true);
  connect(&rest_, &QTimer::timeout, this, [this] { Rest(); });
}

const Image& SurfaceView::Shown() {
  const Bitmap& bitmap = box_.Pixels();
  if (bitmap.Stamp() != seen_stamp_) {
    seen_stamp_ = bitmap.Stamp();
    at_rest_ = false;
    quick_ = WithResampling(bitmap.image(), Resampling::kBilinear);
    rest_.start(kRestMs);
  }
  return at_rest_ ? bitmap.image() : quick_;
}

void SurfaceView::Rest() {
  at_rest_ = true;
  const bool differs = quick_ != box_.Pixels().image();
  quick_ = nullptr;
  if (differs) update();
}

void SurfaceView::Settle() {
  if (box_.Pixels().image() == nullptr) return;
  seen_stamp_ = box_.Pixels().Stamp();
  rest_.stop();
  Rest();
}

void SettleSurfaceViews(QWidget& root) {
  // By dynamic_cast: the view has no meta-object of its own for findChildren to go by.
  for (QWidget* child : root.findChildren<QWidget*>()) {
    if (auto* view = dynamic_cast<SurfaceView*>(child)) view->Settle();
  }
}

void SurfaceView::RequestRepaint() {
  if (repaint_requested_) return;
  repaint_requested_ = true;
  update();
  // Queued behind the repaint the update posts: from then on, changes need a new one.
  QMetaObject::invokeMethod(
      this, [this] { repaint_requested_ = false; }, Qt::QueuedConnection);
}

void SurfaceView::SetFit(bool fit, QSize room) {
  fit_ = fit;
  room_ = room;
  reduced_stamp_ = 0;
  UpdateTip();
  RequestRepaint();
}

double SurfaceView::FitScale() const {
  const Bitmap& image = box_.Pixels();
  if (!fit_ || image.empty() || room_.isEmpty()) return 1;
  return std::min({1.0, static_cast<double>(room_.width()) / image.width(),
                   static_cast<double>(room_.height()) / image.height()});
}

void SurfaceView::UpdateTip() {
  const Bitmap& image = box_.Pixels();
  const bool larger =
      room_.isValid() && (image.width() > room_.width() || image.height() > room_.height());
  const QString tip = !fit_ && larger ? QStringLiteral(
                                            "The picture is larger than the window: press F "
                                            "to see it whole, F or 1 to go back to 1:1")
                                      : QString();
  if (toolTip() != tip) setToolTip(tip);
}

// The image reduced, made again only when the image or the scale changed; around it, the
// window's own colour, as if the view were the reduced picture's size.
void SurfaceView::PaintReduced(QPainter& painter, const QRegion& region, double scale) {
  const Bitmap& image = box_.Pixels();
  const Image& shown = Shown();
  if (reduced_stamp_ != image.Stamp() || reduced_scale_ != scale || reduced_of_ != shown.get()) {
    const auto side = [scale](int32_t length) {
      return std::max<int32_t>(1, static_cast<int32_t>(std::ceil(scale * length)));
    };
    reduced_width_ = side(image.width());
    reduced_height_ = side(image.height());
    reduced_.resize(static_cast<size_t>(reduced_width_) * reduced_height_);
    RealizeReduced(shown, scale,
                   {reduced_.data(), reduced_width_, reduced_width_, reduced_height_});
    reduced_stamp_ = image.Stamp();
    reduced_of_ = shown.get();
    reduced_scale_ = scale;
  }
  const int border = box_.BorderPixels();
  const QRect area(border, border, reduced_width_, reduced_height_);
  const QImage view(reinterpret_cast<const uchar*>(reduced_.data()), reduced_width_,
                    reduced_height_, static_cast<qsizetype>(reduced_width_) * 4,
                    QImage::Format_RGB32);
  const QColor window = parentWidget() ? parentWidget()->palette().color(QPalette::Window)
                                       : palette().color(QPalette::Window);
  for (const QRect& part : region) {
    const QRect piece = part.intersected(area);
    for (const QRect& rest : QRegion(part).subtracted(area)) painter.fillRect(rest, window);
    if (piece.isEmpty()) continue;
    painter.drawImage(piece.topLeft(), view, piece.translated(-border, -border));
  }
}

void SurfaceView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  UpdateTip();
  if (const double scale = FitScale(); scale < 1) {
    PaintReduced(painter, event->region(), scale);
    return;
  }
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
    // One colour shows as its colour: the work surfaces are cleared after every turn.
    painter.fillRect(visible, QColor::fromRgb(*clear));
    return;
  }
  const QRect shown = visible.translated(-border, -border);
  // Stored pixels as they are; anything else worked out in the part shown only.
  const Image& what = Shown();
  std::optional<ConstPixelView> current = Current(image.image());
  if (!current) current = Current(what);
  ConstPixelView pixels;
  if (current) {
    pixels = *current;
  } else {
    const PixelRect part{shown.left(), shown.top(), shown.right() + 1, shown.bottom() + 1};
    shown_.resize(std::max(shown_.size(), static_cast<size_t>(shown.width()) * shown.height()));
    RealizeArea(what, part, {shown_.data(), shown.width(), shown.width(), shown.height()});
    // Addressed as the image is, though it holds only the part shown.
    pixels = {shown_.data() - static_cast<ptrdiff_t>(part.top) * shown.width() - part.left,
              shown.width(), image.width(), image.height()};
  }
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

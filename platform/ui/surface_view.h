// The toolkit widget that shows a PictureBox: its border and its persistent image,
// redrawing only what is exposed.
#pragma once

#include <QSize>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "platform/pixels/bitmap.h"

namespace platform {

class PictureBox;

class SurfaceView : public QWidget {
 public:
  SurfaceView(PictureBox& box, QWidget* parent);
  // Asks for the whole view to be repainted. The toolkit merges repeated requests, but
  // each still costs it a walk over the widget tree; the edge repair makes thousands in
  // one handling, so after the first the rest wait for the event loop's next pass.
  void RequestRepaint();

  // The fit view: the image shown whole within `room` (never enlarged), its top-left
  // corner where the view's is. Presentation only: the image itself is untouched. Off,
  // a tooltip says how to turn it on whenever the image does not fit in `room`.
  void SetFit(bool fit, QSize room);
  bool Fit() const { return fit_; }
  // The scale the fit view shows the image at: 1 when off or when it fits.
  double FitScale() const;

  // While the image changes (the bar dragged, a key held down) it is shown with its turns
  // resampled bilinearly, which is quick; once it has rested for kRestMs, it is painted
  // again as it is (sharp). Presentation only: nothing is drawn into the image.
  static constexpr int kRestMs = 100;
  // Shows the image as it is from now on, as if it had rested (for a picture of the
  // window taken at once).
  void Settle();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintReduced(QPainter& painter, const QRegion& region, double scale);
  void UpdateTip();
  // What to paint: the image, or its quick rendering while it changes.
  const Image& Shown();
  void Rest();

  PictureBox& box_;
  bool repaint_requested_ = false;
  bool fit_ = false;
  QSize room_;
  // Room for what is shown: the part of the image exposed, or the image at FitScale(),
  // made by the evaluator for the image's stamp below. Kept from one paint to the next so
  // that painting allocates nothing.
  std::vector<uint32_t> shown_;
  std::vector<uint32_t> reduced_;
  int32_t reduced_width_ = 0, reduced_height_ = 0;
  uint64_t reduced_stamp_ = 0;
  double reduced_scale_ = 0;
  const ImageNode* reduced_of_ = nullptr;
  // The image's stamp when last painted, whether it has rested since, and its quick
  // rendering while it has not.
  uint64_t seen_stamp_ = 0;
  bool at_rest_ = true;
  Image quick_;
  QTimer rest_;
};

// Settles every SurfaceView inside `root`.
void SettleSurfaceViews(QWidget& root);

}  // namespace platform

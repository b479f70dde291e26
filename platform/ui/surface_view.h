// The toolkit widget that shows a PictureBox: its border and its persistent image,
// redrawing only what is exposed.
#pragma once

#include <QSize>
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

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintReduced(QPainter& painter, const QRegion& region, double scale);
  void UpdateTip();

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
};

}  // namespace platform

// The toolkit widget that shows a PictureBox: its border and its persistent image,
// redrawing only what is exposed.
#pragma once

#include <QWidget>

namespace platform {

class PictureBox;

class SurfaceView : public QWidget {
 public:
  SurfaceView(PictureBox& box, QWidget* parent);
  // Asks for the whole view to be repainted. The toolkit merges repeated requests, but
  // each still costs it a walk over the widget tree; the edge repair makes thousands in
  // one handling, so after the first the rest wait for the event loop's next pass.
  void RequestRepaint();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PictureBox& box_;
  bool repaint_requested_ = false;
};

}  // namespace platform

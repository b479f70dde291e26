// The toolkit widget that shows a PictureBox: its border and its persistent image,
// redrawing only what is exposed.
#pragma once

#include <QWidget>

namespace platform {

class PictureBox;

class SurfaceView : public QWidget {
 public:
  SurfaceView(PictureBox& box, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PictureBox& box_;
};

}  // namespace platform

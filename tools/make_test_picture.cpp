// Draws the bundled picture, assets/test.jpg: 640 x 480, with nothing symmetric about it
// (a colour gradient, an arrow pointing up and to the right, words, a corner marker) so
// that every turn shows. Run: make_test_picture OUT.jpg
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

void DrawBackground(QPainter& painter, const QRect& area) {
  QLinearGradient gradient(area.topLeft(), area.bottomRight());
  gradient.setColorAt(0.0, QColor(30, 60, 160));
  gradient.setColorAt(0.5, QColor(40, 170, 140));
  gradient.setColorAt(1.0, QColor(250, 200, 60));
  painter.fillRect(area, gradient);
}

void DrawArrow(QPainter& painter) {
  QPainterPath arrow;
  arrow.moveTo(120, 380);
  arrow.lineTo(380, 140);
  arrow.lineTo(340, 130);
  arrow.lineTo(450, 90);
  arrow.lineTo(410, 200);
  arrow.lineTo(400, 160);
  arrow.lineTo(140, 400);
  arrow.closeSubpath();
  painter.setPen(QPen(Qt::black, 4));
  painter.setBrush(QColor(230, 40, 40));
  painter.drawPath(arrow);
}

void DrawWords(QPainter& painter) {
  QFont font("DejaVu Sans");
  font.setPixelSize(56);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QPoint(24, 70), "anyturn");
  font.setPixelSize(28);
  painter.setFont(font);
  painter.setPen(QColor(20, 20, 20));
  painter.drawText(QPoint(360, 450), "bottom right");
}

void DrawCornerMarker(QPainter& painter) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawRect(0, 0, 16, 16);
  painter.setBrush(Qt::black);
  painter.drawRect(0, 0, 8, 8);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_test_picture OUT.jpg\n");
    return 2;
  }
  QImage image(640, 480, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawBackground(painter, image.rect());
  DrawArrow(painter);
  DrawWords(painter);
  DrawCornerMarker(painter);
  painter.end();
  if (!image.save(argv[1], "JPEG", 92)) {
    std::fprintf(stderr, "make_test_picture: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

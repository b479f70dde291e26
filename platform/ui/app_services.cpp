#include "platform/ui/app_services.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>

namespace platform {

std::string AppPath() {
  return QCoreApplication::applicationDirPath().toStdString();
}

void DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PrepareText() {
  // A caption's width, as the first label shown asks for it.
  (void)QFontMetrics(QGuiApplication::font())
      .horizontalAdvance(QStringLiteral("Label1 0123456789"));
}

bool Headless() {
  const QString name = QGuiApplication::platformName();
  return name == "offscreen" || name == "minimal";
}

}  // namespace platform

#include "platform/ui/app_services.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace platform {

std::string AppPath() {
  return QCoreApplication::applicationDirPath().toStdString();
}

void DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool Headless() {
  const QString name = QGuiApplication::platformName();
  return name == "offscreen" || name == "minimal";
}

}  // namespace platform

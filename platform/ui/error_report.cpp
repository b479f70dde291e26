#include "platform/ui/error_report.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "platform/base/error.h"
#include "platform/ui/app_services.h"

namespace platform {

namespace {

void EndProgram(const std::string&) {
  std::fflush(stdout);
  std::fflush(stderr);
  // Nothing is saved and nothing needs flushing: end now rather than unwind through a
  // window whose handler has just failed.
  std::_Exit(1);
}

FatalAction& Action() {
  static FatalAction action = EndProgram;
  return action;
}

bool reporting = false;

// The program's own name first: the window program and the renderer share these reports.
std::string ProgramName() {
  return QCoreApplication::instance() != nullptr ? QCoreApplication::applicationName().toStdString()
                                                 : std::string("anyturn");
}

bool CanShowBox() {
  return !reporting && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
         !Headless();
}

}  // namespace

void SetFatalAction(FatalAction action) {
  Action() = action ? std::move(action) : EndProgram;
}

void ReportWarning(const std::string& text) {
  std::fprintf(stderr, "%s: warning: %s\n", ProgramName().c_str(), text.c_str());
  std::fflush(stderr);
  if (CanShowBox()) {
    reporting = true;
    QMessageBox::warning(nullptr, QCoreApplication::applicationName(),
                         QString::fromStdString(text));
    reporting = false;
  }
}

void Report(const std::exception& error) {
  const std::string text = DescribeError(error);
  std::fprintf(stderr, "%s: %s\n", ProgramName().c_str(), text.c_str());
  std::fflush(stderr);
  // A box is modal and runs events; an error raised while it shows is reported on
  // standard error alone.
  if (CanShowBox()) {
    reporting = true;
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(),
                          QString::fromStdString(text));
    reporting = false;
  }
}

void ReportFatal(const std::exception& error) {
  Report(error);
  Action()(DescribeError(error));
}

}  // namespace platform

// The window program: builds frm_Main, runs its start-up handler, shows it, and runs the
// event loop until the window is closed.
#include <QApplication>
#include <cstdlib>
#include <memory>

#include "app/frm_main.h"
#include "platform/ui/error_report.h"
#include "platform/base/trace.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("anyturn");
  // ANYTURN_TRACE=FILE (or - for standard output) records every drawing call.
  std::unique_ptr<platform::FileTracer> tracer;
  if (const char* trace = std::getenv("ANYTURN_TRACE"); trace != nullptr && *trace != 0) {
    platform::RunHandler([&] { tracer = std::make_unique<platform::FileTracer>(trace); });
    platform::InstallTracer(tracer.get());
  }
  app::frm_Main form;
  // A failed start-up is reported and ends the program before the window shows.
  platform::RunHandler([&] { form.Form_Load(); });
  form.Show();
  return QApplication::exec();
}

// The window program: builds frm_Main, runs its start-up handler, shows it, and runs the
// event loop until the window is closed.
#include <QApplication>

#include "app/frm_main.h"
#include "platform/error_report.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("anyturn");
  app::frm_Main form;
  // A failed start-up is reported and ends the program before the window shows.
  platform::RunHandler([&] { form.Form_Load(); });
  form.Show();
  return QApplication::exec();
}

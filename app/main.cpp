// The window program: builds frm_Main, runs its start-up handler, shows it, and runs the
// event loop until the window is closed.
//
//   anyturn [PICTURE]
//
// Without PICTURE, the picture in the program's own folder.
#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/fine_keys.h"
#include "app/fit_view.h"
#include "app/frm_main.h"
#include "app/grid_view.h"
#include "app/level_key.h"
#include "app/picture_opener.h"
#include "app/picture_overlay.h"
#include "app/picture_saver.h"
#include "app/straighten_line.h"
#include "platform/base/trace.h"
#include "platform/imageio/picture.h"
#include "platform/pixels/image.h"
#include "platform/ui/app_services.h"
#include "platform/ui/error_report.h"

namespace {

std::optional<std::string> PictureArgument(int argc, char** argv) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Turns a picture by any angle chosen on a scroll bar, to a tenth of a degree.\n"
      "Without PICTURE, shows test.jpg from the program's own folder.\n\n"
      "Keys: Left and Right turn by one degree, Shift+Left and Shift+Right (or Shift and the\n"
      "mouse wheel over the picture) by a tenth, PageUp and PageDown by ten; Home and End go\n"
      "to 0 and 360. L levels the picture's dominant lines to a tenth. F fits a large picture\n"
      "in the window, 1 goes back to 1:1, G shows or hides a grid. Ctrl+O opens a picture,\n"
      "Ctrl+S saves the turned one.\n"
      "Drag with the right mouse button along something that should be level (or upright):\n"
      "on release the picture turns so that the line is; Esc during the drag cancels it.");
  parser.addPositionalArgument("PICTURE", "The picture to turn.", "[PICTURE]");
  app::ParseCommandLine(parser, "anyturn", argc, argv);
  const std::vector<std::string> pictures = app::RawPositionalArguments(parser);
  if (pictures.size() > 1) app::UsageError(parser, "anyturn", "more than one PICTURE");
  if (pictures.empty()) return std::nullopt;
  return pictures.front();
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<std::string> picture = PictureArgument(argc, argv);
  if (picture) platform::PrefetchPicture(*picture);  // decoded while the toolkit starts
  QApplication application(argc, argv);
  QApplication::setApplicationName("anyturn");
  QApplication::setApplicationVersion(app::Version());
  // Turns are resampled sharply; the window shows them bilinearly only while they change.
  platform::SetDefaultResampling(platform::Resampling::kSharp);
  platform::PrepareText();  // while the picture is decoded
  // ANYTURN_TRACE=FILE (or - for standard output) records every drawing call.
  std::unique_ptr<platform::FileTracer> tracer;
  if (const char* trace = std::getenv("ANYTURN_TRACE"); trace != nullptr && *trace != 0) {
    platform::RunHandler([&] { tracer = std::make_unique<platform::FileTracer>(trace); });
    platform::InstallTracer(tracer.get());
  }
  app::frm_Main form(picture);
  // A failed start-up is reported and ends the program before the window shows.
  platform::RunHandler([&] { form.Form_Load(); });
  form.Show();
  app::PictureOpener opener(form);  // Ctrl+O and drops
  QSettings settings("anyturn", "anyturn");
  app::FitView fit(form, settings);               // F and 1
  app::PictureSaver saver(form, settings);        // Ctrl+S
  app::LevelKey level(form);                      // L
  app::FineKeys fine(form);                       // Shift+Right, Shift+Left, Shift and the wheel
  auto* overlay = new app::PictureOverlay(form);  // the window's; over the picture
  app::GridView grid(form, *overlay, settings);   // G
  app::StraightenLine line(form, *overlay);       // the right mouse button, Esc
  return QApplication::exec();
}

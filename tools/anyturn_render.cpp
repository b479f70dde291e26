// anyturn-render: the window's start-up and handlers without a display.
//
//   anyturn-render PICTURE [--angle A]... [--out FILE.png] [--window FILE.png]
//                  [--trace FILE|-] [--state] [--fit]
//
// Starts frm_Main on Qt's offscreen platform with PICTURE in place of the picture in the
// program's folder, moves the bar to each A in turn as the keyboard would (a Change
// event each time, even when the bar already stands at A), then writes pDes's persistent
// image as a PNG (--window: the whole window as it would show), the call trace, and the
// final state as one JSON object.
// Exit status: 0 done, 1 the picture could not be loaded or a turn failed, 2 bad usage;
// --help and --version answer with 0.
#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/fit_view.h"
#include "app/frm_main.h"
#include "platform/base/error.h"
#include "platform/base/trace.h"
#include "platform/imageio/picture.h"
#include "platform/ui/error_report.h"

namespace {

struct Options {
  std::string picture;
  std::vector<int> angles;
  std::optional<std::string> out;
  std::optional<std::string> window;
  std::optional<std::string> trace;
  bool state = false;
  bool fit = false;
};

constexpr const char* kProgram = "anyturn-render";

int ParseAngle(const QCommandLineParser& parser, const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < 0 || value > 360 || text.trimmed() != text || text.startsWith('+')) {
    app::UsageError(parser, kProgram, "bad angle '" + text + "'");
  }
  return value;
}

Options Parse(int argc, char** argv) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Starts anyturn's window without a display on PICTURE, moves the bar to each angle A "
      "in turn as the keyboard would, and writes what the window holds.");
  parser.addPositionalArgument("PICTURE", "The picture to turn.");
  const QCommandLineOption angle(
      "angle", "Moves the bar to A, a whole number of degrees from 0 to 360 (repeatable).", "A");
  const QCommandLineOption out("out", "Writes the turned picture (pDes) as a PNG.", "FILE");
  const QCommandLineOption window("window", "Writes the whole window as it would show.", "FILE");
  const QCommandLineOption trace("trace", "Records every drawing call (- for standard output).",
                                 "FILE");
  const QCommandLineOption state("state", "Prints the final state as one JSON object.");
  const QCommandLineOption fit("fit", "Shows the window in the fit view (F) for --window.");
  for (const auto& option : {angle, out, window, trace, state, fit}) parser.addOption(option);
  app::ParseCommandLine(parser, kProgram, argc, argv);

  Options options;
  const std::vector<std::string> pictures = app::RawPositionalArguments(parser, argc, argv);
  if (pictures.empty()) app::UsageError(parser, kProgram, "no PICTURE given");
  if (pictures.size() > 1) app::UsageError(parser, kProgram, "more than one PICTURE");
  options.picture = pictures.front();
  for (const QString& value : parser.values(angle)) {
    options.angles.push_back(ParseAngle(parser, value));
  }
  if (parser.isSet(out)) options.out = parser.value(out).toStdString();
  if (parser.isSet(window)) options.window = parser.value(window).toStdString();
  if (parser.isSet(trace)) options.trace = parser.value(trace).toStdString();
  options.state = parser.isSet(state);
  options.fit = parser.isSet(fit);
  return options;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string StateJson(const app::frm_Main& form) {
  std::string json = "{\"label\":\"" + Escaped(form.lblAngle.Caption()) + "\",\"surfaces\":{";
  bool first = true;
  for (const platform::PictureBox* box : {&form.pSrc, &form.pDes, &form.pTM, &form.p180}) {
    if (!first) json += ',';
    first = false;
    json += "\"" + box->Name() + "\":{\"left\":" + std::to_string(box->LeftPixels()) +
            ",\"top\":" + std::to_string(box->TopPixels()) +
            ",\"width\":" + std::to_string(box->WidthPixels()) +
            ",\"height\":" + std::to_string(box->HeightPixels()) +
            ",\"visible\":" + (box->Visible() ? "true" : "false") +
            ",\"backColor\":" + std::to_string(box->BackColor()) + "}";
  }
  return json + "}}";
}

void WritePng(const platform::Bitmap& image, const std::string& path) {
  if (image.empty()) {
    // A tiny picture turned can leave pDes with no pixels at all; PNG has no empty image.
    // The turn itself went well, so this is a note, not a failure.
    std::fprintf(
        stderr,
        "anyturn-render: nothing written to %s: pDes is %d x %d pixels after the last turn\n",
        path.c_str(), image.width(), image.height());
    return;
  }
  const QImage view(reinterpret_cast<const uchar*>(image.Read().pixels), image.width(),
                    image.height(), static_cast<qsizetype>(image.width()) * 4,
                    QImage::Format_ARGB32_Premultiplied);
  if (!view.save(QString::fromStdString(path), "PNG")) {
    throw platform::Error(platform::ErrorNumber::kFileAccess,
                          "Path/File access error: cannot write the picture", path);
  }
}

// Moves the bar as a key press would: Change follows every press, even one that leaves
// the bar where it was.
void MoveBar(app::frm_Main& form, int angle) {
  if (form.hsTurn.Value() == angle) {
    form.hsTurn.on_change();
  } else {
    form.hsTurn.SetValue(angle);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  platform::PrefetchPicture(options.picture);  // decoded while the toolkit starts
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName(kProgram);
  QApplication::setApplicationVersion(app::Version());
  platform::SetFatalAction([](const std::string&) {
    std::fflush(stdout);
    std::_Exit(1);
  });
  app::frm_Main form(options.picture);
  platform::RunHandler([&] { form.Form_Load(); });
  form.Show();
  std::unique_ptr<platform::FileTracer> tracer;
  platform::RunHandler([&] {
    if (options.trace) tracer = std::make_unique<platform::FileTracer>(*options.trace);
  });
  platform::InstallTracer(tracer.get());
  for (const int angle : options.angles) MoveBar(form, angle);
  platform::InstallTracer(nullptr);
  tracer.reset();
  platform::RunHandler([&] {
    if (options.out) WritePng(form.pDes.Pixels(), *options.out);
    if (options.fit) app::ShowFitView(form, true);
    if (options.window &&
        !form.widget()->grab().save(QString::fromStdString(*options.window), "PNG")) {
      throw platform::Error(platform::ErrorNumber::kFileAccess,
                            "Path/File access error: cannot write the picture", *options.window);
    }
  });
  if (options.state) std::printf("%s\n", StateJson(form).c_str());
  return 0;
}

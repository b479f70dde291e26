// anyturn-render: the window's start-up and handlers without a display.
//
//   anyturn-render PICTURE [--angle A]... [--out FILE] [--window FILE.png]
//                  [--trace FILE|-] [--state] [--fit]
//                  [--outside black|transparent|crop] [--quality N] [--strip]
//                  [--resample sharp|bilinear] [--verbose]
//   anyturn-render --out-dir DIR [--format EXT] [--overwrite] [--angle A]... [--outside ...]
//                  PICTURE...
//
// Starts frm_Main on Qt's offscreen platform with PICTURE in place of the picture in the
// program's folder, moves the bar to each A in turn as the keyboard would (a Change
// event each time, even when the bar already stands at A; an A with a tenth, 30.3,
// turns as the last of a run of fine key presses would), then writes pDes's persistent
// image in the format FILE's extension names (--window: the whole window as it would
// show, as a PNG), the call trace, and the final state as one JSON object. With
// --out-dir, does the same for each PICTURE in a window of its own and writes
// DIR/NAME.EXT, going on past pictures that fail; every target is worked out first, and a
// batch whose results would collide, or replace its pictures unasked, is refused.
// File names reach the file system as the bytes given, whatever their encoding.
// Exit status: 0 done, 1 a picture could not be loaded, turned or written, 2 bad usage;
// --help and --version answer with 0.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>
#include <QWidget>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/angle_tenths.h"
#include "app/batch_plan.h"
#include "app/command_line.h"
#include "app/fit_view.h"
#include "app/frm_main.h"
#include "app/level_key.h"
#include "app/save_turned.h"
#include "platform/base/error.h"
#include "platform/base/trace.h"
#include "platform/imageio/output_format.h"
#include "platform/imageio/picture.h"
#include "platform/imageio/safe_write.h"
#include "platform/imageio/save.h"
#include "platform/pixels/image.h"
#include "platform/ui/app_services.h"
#include "platform/ui/error_report.h"
#include "platform/ui/surface_view.h"

namespace {

struct Options {
  std::vector<std::string> pictures;
  std::vector<int> angles;  // in tenths of a degree, or kLevelAngle
  std::optional<std::string> out;
  std::optional<std::string> out_dir;
  std::optional<std::string> format;
  bool overwrite = false;
  app::SaveChoice save;
  std::optional<std::string> window;
  std::optional<std::string> trace;
  bool state = false;
  bool fit = false;
  bool level = false;
  platform::Resampling resampling = platform::Resampling::kSharp;
  bool verbose = false;
};

constexpr const char* kProgram = "anyturn-render";

// "level" stands for the level suggestion's value.
constexpr int kLevelAngle = -1;

// In tenths: a whole number of degrees as always, or one with exactly one decimal.
int ParseAngle(const QCommandLineParser& parser, const QString& text) {
  if (text == "level") return kLevelAngle;
  if (text.contains('.')) {
    const auto tenths = app::TenthsOfDecimal(text.toStdString());
    if (!tenths) app::UsageError(parser, kProgram, "bad angle '" + text + "'");
    return *tenths;
  }
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < 0 || value > 360 || text.trimmed() != text || text.startsWith('+')) {
    app::UsageError(parser, kProgram, "bad angle '" + text + "'");
  }
  return 10 * value;
}

// A file name whose format cannot be written is refused before anything is turned.
void CheckFormat(const QCommandLineParser& parser, const std::string& path) {
  try {
    platform::CheckWritable(path);
  } catch (const platform::Error& error) {
    app::UsageError(parser, kProgram, QString::fromStdString(error.cause()));
  }
}

Options Parse(int argc, char** argv) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Starts anyturn's window without a display on PICTURE, moves the bar to each angle A "
      "in turn as the keyboard would, and writes what the window holds.");
  parser.addPositionalArgument("PICTURE", "The picture to turn.");
  const QCommandLineOption angle(
      "angle",
      "Moves the bar to A, a whole number of degrees from 0 to 360, or turns by A with one "
      "decimal (30.3) as fine key presses do, or for 'level' by the turn that levels the "
      "picture's dominant lines, to a tenth (0 when none dominates); repeatable.",
      "A");
  const QCommandLineOption level("level",
                                 "Prints the level suggestion as one JSON line: "
                                 "{\"level\": A or null, \"tilt\": T, \"confidence\": C}, "
                                 "A to a tenth of a degree.");
  const QCommandLineOption out(
      "out",
      "Writes the turned picture (pDes) in the format FILE's extension names: png, jpg, webp, "
      "tif, bmp, heic, avif.",
      "FILE");
  const QCommandLineOption out_dir(
      "out-dir", "Turns every PICTURE and writes each as DIR/NAME.EXT (a batch).", "DIR");
  const QCommandLineOption format("format",
                                  "With --out-dir: writes EXT files (png, jpg, ...) rather than "
                                  "each picture's own type.",
                                  "EXT");
  const QCommandLineOption overwrite(
      "overwrite",
      "With --out-dir: lets a result replace one of the pictures (two results are never "
      "written to one file).");
  const QCommandLineOption outside(
      "outside",
      "What becomes of the corners outside the turned picture: black (the default), "
      "transparent, or crop (the largest upright rectangle inside the turned picture).",
      "MODE");
  const QCommandLineOption quality(
      "quality", "Quality 1 to 100 for JPEG (default 92), WebP (default lossless), HEIC, AVIF.",
      "N");
  const QCommandLineOption strip("strip", "Writes none of the picture's metadata.");
  const QCommandLineOption verbose(
      "verbose",
      "Says how each file was written: turned in its coded form without loss (a JPEG "
      "at a right angle), or encoded, and why.");
  const QCommandLineOption resample(
      "resample",
      "How a turn that is not a right angle resamples the picture: sharp (the default: keeps "
      "the most detail, and never overshoots an edge) or bilinear (softer, as before).",
      "HOW");
  const QCommandLineOption window("window", "Writes the whole window as it would show.", "FILE");
  const QCommandLineOption trace("trace", "Records every drawing call (- for standard output).",
                                 "FILE");
  const QCommandLineOption state("state", "Prints the final state as one JSON object.");
  const QCommandLineOption fit("fit", "Shows the window in the fit view (F) for --window.");
  for (const auto& option : {angle, out, window, trace, state, fit, out_dir, format, overwrite,
                             outside, quality, strip, level, resample, verbose}) {
    parser.addOption(option);
  }
  app::ParseCommandLine(parser, kProgram, argc, argv);

  Options options;
  options.pictures = app::RawPositionalArguments(parser);
  if (options.pictures.empty()) app::UsageError(parser, kProgram, "no PICTURE given");
  if (parser.isSet(out_dir)) {
    options.out_dir = app::RawValue(parser, out_dir);
    for (const auto& single : {out, window, trace, state, fit}) {
      if (parser.isSet(single)) {
        app::UsageError(parser, kProgram, "--" + single.names().front() + " and --out-dir");
      }
    }
  } else if (options.pictures.size() > 1) {
    app::UsageError(parser, kProgram, "more than one PICTURE (a batch needs --out-dir)");
  }
  options.overwrite = parser.isSet(overwrite);
  if (options.overwrite && !options.out_dir) {
    app::UsageError(parser, kProgram, "--overwrite without --out-dir");
  }
  if (parser.isSet(format)) {
    if (!options.out_dir) app::UsageError(parser, kProgram, "--format without --out-dir");
    options.format = parser.value(format).toStdString();
    CheckFormat(parser, "x." + *options.format);
  }
  if (parser.isSet(outside)) {
    const auto mode = app::OutsideNamed(parser.value(outside).toStdString());
    if (!mode) app::UsageError(parser, kProgram, "bad --outside '" + parser.value(outside) + "'");
    options.save.outside = *mode;
  }
  if (parser.isSet(quality)) {
    bool ok = false;
    const int value = parser.value(quality).toInt(&ok);
    if (!ok || value < 1 || value > 100) {
      app::UsageError(parser, kProgram, "bad quality '" + parser.value(quality) + "'");
    }
    options.save.quality = value;
  }
  options.save.strip = parser.isSet(strip);
  options.verbose = parser.isSet(verbose);
  if (parser.isSet(resample)) {
    const QString how = parser.value(resample);
    if (how != "sharp" && how != "bilinear") {
      app::UsageError(parser, kProgram, "bad --resample '" + how + "'");
    }
    options.resampling =
        how == "sharp" ? platform::Resampling::kSharp : platform::Resampling::kBilinear;
  }
  options.level = parser.isSet(level);
  if (options.level && options.out_dir) app::UsageError(parser, kProgram, "--level and --out-dir");
  for (const QString& value : parser.values(angle)) {
    options.angles.push_back(ParseAngle(parser, value));
  }
  if (parser.isSet(out)) {
    options.out = app::RawValue(parser, out);
    CheckFormat(parser, *options.out);
  }
  if (parser.isSet(window)) options.window = app::RawValue(parser, window);
  if (parser.isSet(trace)) options.trace = app::RawValue(parser, trace);
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

void Save(app::frm_Main& form, const std::string& path, const app::SaveChoice& choice,
          bool verbose) {
  if (form.pDes.Pixels().empty()) {
    // A tiny picture turned can leave pDes with no pixels at all, and no format holds an
    // empty picture. The turn itself went well, so this is a note, not a failure.
    std::fprintf(
        stderr,
        "anyturn-render: nothing written to %s: pDes is %d x %d pixels after the last turn\n",
        platform::ReadablePath(path).c_str(), form.pDes.Pixels().width(),
        form.pDes.Pixels().height());
    return;
  }
  std::string how;
  for (const std::string& warning : app::SaveTurned(form, path, choice, &how)) {
    platform::ReportWarning(platform::ReadablePath(path) + ": " + warning);
  }
  if (verbose) std::fprintf(stderr, "%s: %s\n", platform::ReadablePath(path).c_str(), how.c_str());
}

// The angle, in tenths, that levels the picture; 0 without a suggestion.
int TenthsThatLevel(const platform::LevelSuggestion& suggestion) {
  return suggestion.level ? app::LevelTenths(suggestion.tilt) : 0;
}

// A whole angle moves the bar as a key press would; one with tenths turns as the last of a
// run of fine key presses would; "level" by the level suggestion.
void MoveBar(app::frm_Main& form, int tenths) {
  if (tenths == kLevelAngle) tenths = TenthsThatLevel(app::LevelOf(form.pSrc.Picture()));
  form.MoveToTenths(tenths);
}

std::string LevelJson(const platform::LevelSuggestion& suggestion) {
  char text[128];
  const std::string level = suggestion.level ? app::AngleText(TenthsThatLevel(suggestion)) : "null";
  std::snprintf(text, sizeof text, "{\"level\": %s, \"tilt\": %.2f, \"confidence\": %.2f}",
                level.c_str(), suggestion.tilt, suggestion.confidence);
  return text;
}

// Progress on a terminal: the line is rewritten in place; nothing when standard error
// goes to a file or a pipe.
class Progress {
 public:
  explicit Progress(size_t total) : total_(total), shown_(::isatty(STDERR_FILENO) != 0) {}
  void Start(size_t done, const std::string& picture) const {
    if (shown_) {
      std::fprintf(stderr, "\r\033[K%zu/%zu %s", done, total_,
                   platform::ReadablePath(picture).c_str());
    }
  }
  // Before a report, so that it gets a line of its own.
  void Clear() const {
    if (shown_) std::fprintf(stderr, "\r\033[K");
  }
  void Finish() const {
    if (shown_) std::fprintf(stderr, "\r\033[K%zu/%zu done\n", total_, total_);
  }

 private:
  size_t total_;
  bool shown_;
};

// The quarter turns of a save to `target` that the command line already fixes as a JPEG at
// a right angle, whose coded turn can then begin while the picture is decoded. The save
// still decides from the window as it then stands, and takes that turn only if it asks for
// the same one.
std::optional<int> CodedQuarters(const Options& options, const std::string& target) {
  const int tenths = options.angles.empty() ? 0 : options.angles.back();
  if (tenths == kLevelAngle) return std::nullopt;  // known once the picture is read
  std::string why;
  return app::CodedQuarters(target, options.save, tenths, why);
}

// Turns and writes one picture of a batch; false, with the report on standard error,
// when it could not be read, turned or written.
bool RunOne(const Options& options, const app::BatchStep& step, const Progress& progress) {
  bool failed = false;
  platform::SetFatalAction([&](const std::string&) { failed = true; });
  try {
    platform::PrefetchPicture(step.picture, CodedQuarters(options, step.target));
    app::frm_Main form(step.picture);
    form.Form_Load();
    form.Show();
    for (const int angle : options.angles) {
      MoveBar(form, angle);
      if (failed) return false;  // reported by the handler's boundary
    }
    progress.Clear();
    Save(form, step.target, options.save, options.verbose);
    return true;
  } catch (const std::exception& error) {
    progress.Clear();
    platform::Report(error);
    return false;
  }
}

// mkdir -p, on the name's own bytes.
void MakeFolders(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string folder = path.substr(0, at);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      throw platform::Error(platform::ErrorNumber::kFileAccess,
                            "Path/File access error: cannot make the folder", folder);
    }
  }
}

int RunBatch(const Options& options) {
  std::vector<app::BatchStep> steps;
  try {
    steps = app::PlanBatch(options.pictures, *options.out_dir, options.format, options.overwrite);
  } catch (const app::BatchConflict& conflict) {
    std::fprintf(stderr, "%s: %s; nothing written\n", kProgram, conflict.what());
    return 2;
  }
  platform::RunHandler([&] { MakeFolders(*options.out_dir); });  // or the report, and exit 1
  const Progress progress(steps.size());
  bool all = true;
  for (size_t i = 0; i < steps.size(); ++i) {
    progress.Start(i, steps[i].picture);
    all = RunOne(options, steps[i], progress) && all;
  }
  progress.Finish();
  return all ? 0 : 1;
}

// The whole window as it would show, as a PNG, written as any picture is.
void WriteWindow(app::frm_Main& form, const std::string& path) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  platform::SettleSurfaceViews(*form.widget());  // as the window shows once the bar rests
  if (!QImageWriter(&buffer, "PNG").write(form.widget()->grab().toImage())) {
    throw platform::Error(platform::ErrorNumber::kFileAccess,
                          "Path/File access error: cannot write the picture", path);
  }
  platform::WriteReplacing(path, [&](platform::OutputFile& file) {
    platform::WriteAll(file, png.constData(), static_cast<size_t>(png.size()));
  });
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  // Decoded while the toolkit starts.
  platform::PrefetchPicture(options.pictures.front(),
                            options.out ? CodedQuarters(options, *options.out) : std::nullopt);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName(kProgram);
  QApplication::setApplicationVersion(app::Version());
  platform::SetDefaultResampling(options.resampling);
  platform::PrepareText();  // while the picture is decoded
  if (options.out_dir) return RunBatch(options);
  platform::SetFatalAction([](const std::string&) {
    std::fflush(stdout);
    std::_Exit(1);
  });
  app::frm_Main form(options.pictures.front());
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
    if (options.out) Save(form, *options.out, options.save, options.verbose);
    if (options.fit) app::ShowFitView(form, true);
    if (options.window) WriteWindow(form, *options.window);
  });
  if (options.state) std::printf("%s\n", StateJson(form).c_str());
  if (options.level) std::printf("%s\n", LevelJson(app::LevelOf(form.pSrc.Picture())).c_str());
  return 0;
}

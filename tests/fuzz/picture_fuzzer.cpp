// The picture fuzzer: the input's bytes, less the last two, are the picture in the
// program's folder; the last two pick angles. The window's start-up runs on it, then the
// bar turns it to three angles, then the turned picture is saved with the input's own
// metadata, in a format and with an outside the last two bytes pick. Anything but a
// clean report or a correct turn (a crash, a sanitizer finding, a hang, a label that
// does not match the bar) is a finding.
//
//   scripts/fuzz.sh [SECONDS]
#include <QApplication>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/frm_main.h"
#include "app/save_turned.h"
#include "platform/ui/error_report.h"

namespace {

std::string PicturePath() {
  static QTemporaryDir folder;
  return folder.filePath("test.jpg").toStdString();
}

// Bigger pictures only make each run slow: their code paths are the same.
bool Small(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  reader.setDecideFormatFromContent(true);
  const QSize size = reader.size();
  return !size.isValid() || int64_t{size.width()} * size.height() <= (int64_t{1} << 20);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication application(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string path = PicturePath();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size - 2));
  if (!Small(path)) return 0;
  bool refused = false;
  platform::SetFatalAction([&](const std::string&) { refused = true; });
  auto form = std::make_unique<app::frm_Main>(path);
  platform::RunHandler([&] { form->Form_Load(); });
  // Some formats tell their size only by decoding. A picture whose turn could need a
  // large surface (a long thin strip turned 45 degrees needs its length squared) is not
  // turned: it would only be slow, and the memory checks have tests of their own.
  const int64_t sides = int64_t{form->pSrc.Pixels().width()} + form->pSrc.Pixels().height();
  const bool large = sides * sides > (int64_t{1} << 22);
  const int angles[] = {data[size - 2] * 361 / 256, data[size - 1] * 361 / 256,
                        (data[size - 2] + 90) % 361};
  for (const int angle : angles) {
    if (refused || large) break;
    // As a key press: Change follows even when the bar is already there.
    const bool moves = form->hsTurn.Value() != angle;
    form->hsTurn.SetValue(angle);
    if (!moves) form->hsTurn.on_change();
    if (!refused && form->lblAngle.Caption() != std::to_string(form->hsTurn.Value())) {
      std::fprintf(stderr, "the label reads %s, the bar %d\n", form->lblAngle.Caption().c_str(),
                   form->hsTurn.Value());
      __builtin_trap();
    }
  }
  if (!refused && !large && !form->pDes.Pixels().empty()) {
    const char* extensions[] = {"png", "jpg", "webp", "tif"};
    const app::Outside outsides[] = {app::Outside::kBlack, app::Outside::kTransparent,
                                     app::Outside::kCrop};
    const std::string out = PicturePath() + ".turned." + extensions[data[size - 1] % 4];
    try {
      app::SaveTurned(*form, out, {outsides[data[size - 2] % 3], std::nullopt, false});
    } catch (const std::exception&) {
      // Reported as an error, which is what a picture whose metadata cannot be kept gets.
    }
    // A JPEG at a right angle goes through the lossless transform, which reads the coded
    // data again.
    if (!refused && form->pSrc.Picture().coded()) {
      form->hsTurn.SetValue(90 * (data[size - 1] % 5));
      try {
        app::SaveTurned(*form, PicturePath() + ".quarter.jpg",
                        {app::Outside::kBlack, std::nullopt, data[size - 2] % 2 == 1});
      } catch (const std::exception&) {
        // As above.
      }
    }
  }
  form.reset();
  platform::SetFatalAction(nullptr);
  return 0;
}

// The soak: many random bar events through the window's handlers on a one-megapixel
// picture, headless. Passes when the final label and picture belong to the bar's last
// value (checked against a freshly started window) and the resident memory after the
// first turns stays within the given tolerance. Run under AddressSanitizer, its leak
// check at exit covers the rest.
//
//   anyturn_soak EVENTS [--rss-tolerance FRACTION] [--heap-growth-kb N] [--seed N]
#include <malloc.h>
#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "app/frm_main.h"
#include "platform/pixels/pixel_allocator.h"
#include "platform/ui/error_report.h"

namespace {

// Resident memory in kilobytes, from /proc/self/status.
long ResidentKilobytes() {
  std::ifstream in("/proc/self/status");
  std::string key;
  while (in >> key) {
    long value = 0;
    if (key == "VmRSS:" && in >> value) return value;
    in.ignore(1 << 16, '\n');
  }
  return -1;
}

// Bytes the heap has handed out and not had back: unlike resident memory, this grows with
// every leaked allocation, even one that fits in memory the heap already had.
long HeapKilobytes() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>((info.uordblks + info.hblkhd) >> 10);
}

QImage Picture() {
  QImage image(1000, 1000, QImage::Format_RGB32);
  std::mt19937 random(3);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      image.setPixel(x, y,
                     qRgb((x / 4 + static_cast<int>(random() % 16)) & 0xFF, y / 4, (x + y) & 0xFF));
    }
  }
  return image;
}

// One random gesture on the bar: a key, a value set by the program, a drag of the thumb,
// or a burst of keys posted all at once, which arrive while a handling runs.
void RandomEvent(app::frm_Main& form, std::mt19937& random) {
  QScrollBar* bar = form.hsTurn.bar();
  static const Qt::Key keys[] = {Qt::Key_Right,    Qt::Key_Left, Qt::Key_PageUp,
                                 Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
  switch (random() % 8) {
    case 0:
    case 1:
    case 2:
      QTest::keyClick(bar, keys[random() % 6]);
      break;
    case 3:
    case 4:
      form.hsTurn.SetValue(static_cast<int>(random() % 361));
      break;
    case 5:
    case 6: {
      bar->setSliderDown(true);
      for (int moves = 1 + static_cast<int>(random() % 4); moves > 0; --moves) {
        bar->setSliderPosition(static_cast<int>(random() % 361));
      }
      bar->setSliderDown(false);
      break;
    }
    default: {
      for (int posted = 2 + static_cast<int>(random() % 6); posted > 0; --posted) {
        const auto key = keys[random() % 2];
        QCoreApplication::postEvent(bar, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        QCoreApplication::postEvent(bar, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
      }
      QCoreApplication::processEvents();
    }
  }
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "soak: FAILED: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: anyturn_soak EVENTS [--rss-tolerance FRACTION] [--heap-growth-kb N] "
                 "[--seed N]\n");
    return 2;
  }
  const long events = std::atol(argv[1]);
  double tolerance = -1;     // no memory check unless asked
  long heap_growth_kb = -1;  // likewise
  unsigned seed = 1;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--rss-tolerance") tolerance = std::atof(argv[i + 1]);
    if (option == "--heap-growth-kb") heap_growth_kb = std::atol(argv[i + 1]);
    if (option == "--seed") seed = static_cast<unsigned>(std::atol(argv[i + 1]));
  }
  QTemporaryDir folder;
  const std::string path = folder.filePath("test.png").toStdString();
  if (!Picture().save(QString::fromStdString(path))) return Fail("cannot write the picture");

  int final_value = 0;
  std::string final_label;
  platform::Bitmap final_picture;
  long baseline = 0, peak = 0, heap_baseline = 0, heap_peak = 0;
  size_t allocations_after_warm_up = 0, allocations_at_end = 0;
  {
    app::frm_Main form(path);
    platform::RunHandler([&] { form.Form_Load(); });  // a failure is reported and ends the run
    form.Show();
    // The largest turned sizes first, so that every surface has reached its full size
    // before memory is measured.
    for (const int value : {45, 135, 225, 315, 0}) form.hsTurn.SetValue(value);
    allocations_after_warm_up = platform::PixelAllocations();
    std::mt19937 random(seed);
    for (long event = 0; event < events; ++event) {
      RandomEvent(form, random);
      if (event == 200) {
        baseline = ResidentKilobytes();
        heap_baseline = HeapKilobytes();
      }
      if (event > 200 && event % 250 == 0) {
        peak = std::max(peak, ResidentKilobytes());
        heap_peak = std::max(heap_peak, HeapKilobytes());
      }
    }
    QCoreApplication::processEvents();
    peak = std::max(peak, ResidentKilobytes());
    heap_peak = std::max(heap_peak, HeapKilobytes());
    allocations_at_end = platform::PixelAllocations();
    final_value = form.hsTurn.Value();
    final_label = form.lblAngle.Caption();
    final_picture = form.pDes.Pixels();
    std::printf(
        "soak: %ld events, %d handlings, last value %d; resident memory %ld kB after the "
        "first turns, at most %ld kB after; heap in use %ld kB, at most %ld kB after\n",
        events, form.Handlings(), final_value, baseline, peak, heap_baseline, heap_peak);
  }
  if (final_label != std::to_string(final_value)) {
    return Fail("the label reads " + final_label + ", the bar " + std::to_string(final_value));
  }
  app::frm_Main fresh(path);
  platform::RunHandler([&] { fresh.Form_Load(); });
  fresh.hsTurn.SetValue(final_value);
  if (final_value == 0) fresh.hsTurn.on_change();
  const platform::Bitmap& expected = fresh.pDes.Pixels();
  if (expected.width() != final_picture.width() || expected.height() != final_picture.height()) {
    return Fail("the picture's size does not belong to the last value");
  }
  for (int32_t y = 0; y < expected.height(); ++y) {
    for (int32_t x = 0; x < expected.width(); ++x) {
      if (expected.at(x, y) != final_picture.at(x, y)) {
        return Fail("the picture differs from a fresh turn at " + std::to_string(x) + "," +
                    std::to_string(y));
      }
    }
  }
  if (allocations_at_end != allocations_after_warm_up) {
    return Fail(std::to_string(allocations_at_end - allocations_after_warm_up) +
                " pixel stores were allocated after the surfaces reached their largest size");
  }
  if (tolerance >= 0 && baseline > 0 && peak > baseline * (1 + tolerance)) {
    return Fail("resident memory grew from " + std::to_string(baseline) + " kB to " +
                std::to_string(peak) + " kB, more than " +
                std::to_string(static_cast<int>(tolerance * 100)) + " %");
  }
  if (heap_growth_kb >= 0 && heap_peak > heap_baseline + heap_growth_kb) {
    return Fail("the heap in use grew from " + std::to_string(heap_baseline) + " kB to " +
                std::to_string(heap_peak) + " kB, more than " + std::to_string(heap_growth_kb) +
                " kB");
  }
  std::printf("soak: passed\n");
  return 0;
}

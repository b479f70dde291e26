// Writes the level suggestion's corpus as PNG files and a list of them with the turn
// that levels each ("none" for pictures without a dominant line), for the benchmark.
//
//   make_level_corpus FOLDER [SET]     (QT_QPA_PLATFORM=offscreen; SET 0 by default)
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "tools/level_corpus.h"

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_level_corpus FOLDER [SET]\n");
    return 2;
  }
  const unsigned set = argc == 3 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 0;
  const QDir folder(argv[1]);
  if (!folder.mkpath(".")) return 1;
  std::FILE* list = std::fopen(folder.filePath("corpus.txt").toLocal8Bit().constData(), "w");
  if (list == nullptr) return 1;
  for (const level_corpus::Sample& sample : level_corpus::Make(set)) {
    const QString name = QString::fromStdString(sample.name) + ".png";
    if (!sample.image.save(folder.filePath(name))) return 1;
    if (sample.tilt) {
      std::fprintf(list, "%s %s %.1f\n", name.toUtf8().constData(), sample.kind.c_str(),
                   *sample.tilt);
    } else {
      std::fprintf(list, "%s none none\n", name.toUtf8().constData());
    }
  }
  return std::fclose(list) == 0 ? 0 : 1;
}

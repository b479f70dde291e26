// Writes the photo corpus into a folder, for bench/level.sh: one JPEG per sample and
// corpus.txt, a line per sample: "NAME.jpg KIND TILT SURE SPREAD SET" (TILT "none" for
// photos without a level, SURE "sure" or "rough", SPREAD how well the level is known in
// degrees, SET "tuned" or "held"). Photos whose package is missing are named on standard
// error and left out.
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "tools/photo_corpus.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_photo_corpus FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QFile list(folder + "/corpus.txt");
  if (!list.open(QIODevice::WriteOnly)) return 1;
  for (size_t i = 0; i < photo_corpus::Photos().size(); ++i) {
    std::string missing;
    for (const photo_corpus::Sample& s : photo_corpus::SamplesOf(i, &missing)) {
      QFile file(folder + "/" + QString::fromStdString(s.name) + ".jpg");
      if (!file.open(QIODevice::WriteOnly) || file.write(s.jpeg) != s.jpeg.size()) return 1;
      char line[200];
      std::snprintf(line, sizeof line, "%s.jpg %s %s %s %.3f %s\n", s.name.c_str(), s.kind.c_str(),
                    s.tilt ? QByteArray::number(*s.tilt, 'f', 2).constData() : "none",
                    s.sure ? "sure" : "rough", s.spread, s.held_out ? "held" : "tuned");
      list.write(line);
    }
    if (!missing.empty()) std::fprintf(stderr, "missing: %s\n", missing.c_str());
  }
  return 0;
}

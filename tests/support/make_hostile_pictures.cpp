// Writes the hostile pictures (tests/support/hostile_pictures.h) into FOLDER, for the
// tests that drive the programs from the outside.
//
//   anyturn_hostile_pictures FOLDER
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

#include "tests/support/hostile_pictures.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: anyturn_hostile_pictures FOLDER\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(".")) return 1;
  for (const hostile::Named& picture : hostile::All()) {
    QFile file(folder.filePath(picture.name));
    if (picture.bytes.isEmpty() || !file.open(QIODevice::WriteOnly) ||
        file.write(picture.bytes) != picture.bytes.size()) {
      std::fprintf(stderr, "anyturn_hostile_pictures: cannot write %s\n", qPrintable(picture.name));
      return 1;
    }
  }
  return 0;
}

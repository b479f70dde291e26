// Picture files made to hurt a reader or a writer, as the unlucky and the hostile hand
// them over: damaged JPEGs, JPEGs built to take forever, orientation tags where few
// readers look for them, metadata too large for some formats. Shared by the tests, the
// renderer's test (through anyturn_hostile_pictures) and the fuzzer's seed corpus.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace hostile {

// A smooth picture with some detail, opaque.
QImage Scene(int width, int height);

// `image` in `format` ("PNG", "JPEG", "WEBP", ...) through the toolkit's writers.
QByteArray Encoded(const QImage& image, const char* format, int quality = -1);

// A small JPEG whose frame header is patched to claim `width` x `height` pixels: its data
// ends at the end-of-image marker long before such a picture would.
QByteArray PatchedHeaderJpeg(int width, int height);

// A progressive JPEG of a smooth `width` x `height` picture, its last scan repeated
// `repeats` more times before the end-of-image marker.
QByteArray RepeatedScanJpeg(int width, int height, int repeats);

// `image` as PNG with an eXIf chunk, and as lossless WebP with an EXIF chunk, each
// holding only the orientation `orientation` (1 to 8).
QByteArray PngWithOrientation(const QImage& image, int orientation);
QByteArray WebpWithOrientation(const QImage& image, int orientation);
// A JPEG file's bytes with an APP1 EXIF segment holding only `orientation` put in after
// its start marker.
QByteArray JpegWithOrientation(const QByteArray& jpeg, int orientation);

// `file` (a picture's bytes) with an XMP packet of at least `bytes` bytes, written by
// exiv2; empty when exiv2 cannot put it there (XMP over 64 kB in a JPEG).
QByteArray WithXmp(const QByteArray& file, int bytes);

// Every file above, with a name whose extension tells its type.
struct Named {
  QString name;
  QByteArray bytes;
};
std::vector<Named> All();

}  // namespace hostile

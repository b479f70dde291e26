// Writing out the turned picture from the window: the outside black, transparent or cut
// away, the window left as it was, and Ctrl+S's file the renderer's file.
#include <gtest/gtest.h>

#include <QProcess>
#include <QSettings>
#include <cmath>
#include <fstream>
#include <numbers>

#include "app/frm_main.h"
#include "app/picture_saver.h"
#include "app/save_turned.h"
#include "platform/base/error.h"
#include "platform/imageio/picture.h"
#include "platform/pixels/image.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/test_support.h"

namespace {

using app::Outside;
using platform::Bitmap;
using testing_support::FirstDifference;

std::unique_ptr<app::frm_Main> Turned(const std::string& path, int value) {
  auto form = std::make_unique<app::frm_Main>(path);
  form->Form_Load();
  form->hsTurn.SetValue(value);
  return form;
}

Bitmap Saved(app::frm_Main& form, Outside outside, const char* extension = "png") {
  const std::string path = testing_support::TempDir() + "/turned." + extension;
  app::SaveTurned(form, path, {outside, std::nullopt, false});
  return platform::LoadPicture(path).pixels();
}

TEST(SaveTurned, BlackWritesWhatTheWindowHolds) {
  const auto form =
      Turned(testing_support::WritePicture(testing_support::Photo(90, 60), "photo.png"), 25);
  EXPECT_EQ(FirstDifference(Saved(*form, Outside::kBlack), form->pDes.Pixels()), "");
}

TEST(SaveTurned, TransparentClearsTheOutsideAndKeepsTheOutlinesCoverage) {
  const auto form =
      Turned(testing_support::WritePicture(testing_support::Photo(90, 60), "photo.png"), 25);
  const Bitmap clear = Saved(*form, Outside::kTransparent);
  const Bitmap& shown = form->pDes.Pixels();
  ASSERT_EQ(clear.width(), shown.width());
  int inside = 0, outside = 0, outline = 0;
  for (int32_t y = 0; y < clear.height(); ++y) {
    for (int32_t x = 0; x < clear.width(); ++x) {
      const uint32_t alpha = clear.at(x, y) >> 24;
      (alpha == 255 ? inside : alpha == 0 ? outside : outline)++;
      // Over black the transparent picture is what the window shows, to rounding.
      for (int shift = 0; shift < 24; shift += 8) {
        ASSERT_LE(std::abs(static_cast<int>((clear.at(x, y) >> shift) & 255) -
                           static_cast<int>((shown.at(x, y) >> shift) & 255)),
                  1)
            << x << "," << y;
      }
    }
  }
  EXPECT_EQ(clear.at(0, 0) >> 24, 0u);  // a corner of the bounding box
  EXPECT_GT(inside, 90 * 60 * 9 / 10);
  EXPECT_GT(outside, 0);
  EXPECT_GT(outline, 0);  // antialiased, not cut hard
}

double K(double w, double h, double degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  return std::min(w / (w * std::cos(a) + h * std::sin(a)), h / (w * std::sin(a) + h * std::cos(a)));
}

TEST(SaveTurned, TheCropIsTheFormulasRectangleCutFromTheTurnedPicturesMiddle) {
  const std::string photo =
      testing_support::WritePicture(testing_support::Photo(160, 100), "photo.png");
  const struct {
    int value;
    double w, h, tilt;  // the turned picture's upright shape and its tilt
  } cases[] = {{7, 160, 100, 7},  {30, 160, 100, 30},  {45, 160, 100, 45}, {80, 100, 160, 10},
               {90, 100, 160, 0}, {200, 160, 100, 20}, {353, 160, 100, 7}, {180, 160, 100, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const auto form = Turned(photo, c.value);
    const Bitmap crop = Saved(*form, Outside::kCrop);
    const double k = K(c.w, c.h, c.tilt);
    // The formula's size, less at most two pixels a side for the blended outline.
    EXPECT_LE(crop.width(), std::floor(k * c.w));
    EXPECT_GE(crop.width(), std::floor(k * c.w) - 4);
    EXPECT_LE(crop.height(), std::floor(k * c.h));
    EXPECT_GE(crop.height(), std::floor(k * c.h) - 4);
    // Cut from the middle of what the window holds, and all of it the picture's own.
    const Bitmap& shown = form->pDes.Pixels();
    const int32_t left = (shown.width() - crop.width()) / 2;
    const int32_t top = (shown.height() - crop.height()) / 2;
    const Bitmap clear = Saved(*form, Outside::kTransparent);
    for (int32_t y = 0; y < crop.height(); ++y) {
      for (int32_t x = 0; x < crop.width(); ++x) {
        ASSERT_EQ(crop.at(x, y), shown.at(left + x, top + y)) << x << "," << y;
        ASSERT_EQ(clear.at(left + x, top + y) >> 24, 255u) << x << "," << y;
      }
    }
  }
}

TEST(SaveTurned, NothingToWriteIsRefusedByName) {
  const struct {
    int32_t width, height;
    Outside outside;
    const char* cause;
  } cases[] = {
      {3, 1, Outside::kCrop, "the crop leaves nothing"},
      {1, 1, Outside::kBlack, "nothing to write"},  // turned to 0 x 0 pixels
      {1, 1, Outside::kTransparent, "nothing to write"},
  };
  for (const auto& c : cases) {
    const auto form = Turned(
        testing_support::WritePicture(testing_support::Photo(c.width, c.height), "tiny.png"), 30);
    const std::string path = testing_support::TempDir() + "/tiny.png";
    try {
      app::SaveTurned(*form, path, {c.outside, std::nullopt, false});
      ADD_FAILURE() << c.cause << ": written";
    } catch (const platform::Error& error) {
      EXPECT_EQ(error.number(), platform::ErrorNumber::kInvalidProcedureCall) << c.cause;
      EXPECT_NE(error.cause().find(c.cause), std::string::npos) << error.cause();
    }
    EXPECT_FALSE(std::ifstream(path).good()) << c.cause;
  }
}

TEST(SaveTurned, LeavesTheWindowAsItWas) {
  const auto form =
      Turned(testing_support::WritePicture(testing_support::Photo(80, 50), "photo.png"), 33);
  const Bitmap before = form->pDes.Pixels();
  const int32_t sizes[] = {form->pTM.WidthPixels(), form->pTM.HeightPixels(),
                           form->p180.WidthPixels(), form->p180.HeightPixels()};
  for (const Outside outside : {Outside::kBlack, Outside::kTransparent, Outside::kCrop}) {
    Saved(*form, outside, "jpg");
    EXPECT_EQ(FirstDifference(form->pDes.Pixels(), before), "");
    EXPECT_EQ(form->lblAngle.Caption(), "33");
    const int32_t after[] = {form->pTM.WidthPixels(), form->pTM.HeightPixels(),
                             form->p180.WidthPixels(), form->p180.HeightPixels()};
    EXPECT_TRUE(std::equal(std::begin(sizes), std::end(sizes), std::begin(after)));
  }
  // And the bar goes on turning as before.
  form->hsTurn.SetValue(34);
  const auto fresh = Turned(form->PicturePath(), 34);
  EXPECT_EQ(FirstDifference(form->pDes.Pixels(), fresh->pDes.Pixels()), "");
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PictureSaver, WritesTheRenderersFileAndRemembersTheOutside) {
  // Both programs turn sharply, as they do when started.
  platform::SetDefaultResampling(platform::Resampling::kSharp);
  const std::string photo =
      testing_support::WritePicture(testing_support::Photo(120, 90), "photo.jpg");
  const std::string folder = testing_support::TempDir();
  QSettings settings(QString::fromStdString(folder + "/settings.ini"), QSettings::IniFormat);
  for (const Outside outside : {Outside::kBlack, Outside::kTransparent, Outside::kCrop}) {
    const std::string name = app::NameOf(outside);
    const auto form = Turned(photo, 21);
    app::PictureSaver saver(*form, settings);
    ASSERT_TRUE(saver.Save(folder + "/window-" + name + ".png", outside));
    EXPECT_EQ(saver.RememberedOutside(), outside);
    QProcess render;
    render.start(ANYTURN_RENDER, {QString::fromStdString(photo), "--angle", "21", "--outside",
                                  QString::fromStdString(name), "--out",
                                  QString::fromStdString(folder + "/render-" + name + ".png")});
    ASSERT_TRUE(render.waitForFinished(60000));
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    EXPECT_EQ(Contents(folder + "/window-" + name + ".png"),
              Contents(folder + "/render-" + name + ".png"))
        << name;
  }
  platform::SetDefaultResampling(platform::Resampling::kBilinear);
}

TEST(PictureSaver, AFailedSaveIsReportedAndTheWindowGoesOn) {
  const auto form =
      Turned(testing_support::WritePicture(testing_support::Photo(40, 30), "photo.png"), 10);
  QSettings settings(QString::fromStdString(testing_support::TempDir() + "/s.ini"),
                     QSettings::IniFormat);
  app::PictureSaver saver(*form, settings);
  testing_support::ReportCatcher fatal;
  testing::internal::CaptureStderr();
  const std::string path = testing_support::TempDir() + "/missing/turned.png";
  EXPECT_FALSE(saver.Save(path, Outside::kBlack));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Run-time error 75"), std::string::npos) << err;
  EXPECT_NE(err.find(path), std::string::npos) << err;
  EXPECT_TRUE(fatal.reports.empty());
  form->hsTurn.SetValue(11);
  EXPECT_EQ(form->lblAngle.Caption(), "11");
}

TEST(PictureSaver, MetadataTooLargeForTheFormatIsLeftOutAndSaid) {
  // A PNG with a long edit history in its XMP, saved from the window as JPEG: the picture
  // is written, the XMP left out, and the window says so (a box, and standard error).
  const QByteArray history =
      hostile::WithXmp(hostile::Encoded(hostile::Scene(60, 40), "PNG"), 70000);
  const std::string photo = testing_support::TempDir() + "/history.png";
  std::ofstream(photo, std::ios::binary).write(history.constData(), history.size());
  const auto form = Turned(photo, 12);
  QSettings settings(QString::fromStdString(testing_support::TempDir() + "/s.ini"),
                     QSettings::IniFormat);
  app::PictureSaver saver(*form, settings);
  testing::internal::CaptureStderr();
  const std::string path = testing_support::TempDir() + "/turned.jpg";
  EXPECT_TRUE(saver.Save(path, Outside::kBlack));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("warning: " + path + ": the XMP metadata"), std::string::npos) << err;
  EXPECT_EQ(platform::LoadPicture(path).WidthPixels(), form->pDes.WidthPixels());
}

TEST(SaveTurned, TheMetadataIsThatOfTheFileAsItWasRead) {
  // The metadata travels with the loaded picture: a file changed on disk after it was
  // opened does not lend its metadata to what is saved from the picture shown.
  const QByteArray tagged = hostile::WithXmp(hostile::Encoded(hostile::Scene(60, 40), "PNG"), 1000);
  const std::string photo = testing_support::TempDir() + "/photo.png";
  std::ofstream(photo, std::ios::binary).write(tagged.constData(), tagged.size());
  const auto form = Turned(photo, 12);
  const QByteArray plain = hostile::Encoded(hostile::Scene(60, 40), "PNG");
  std::ofstream(photo, std::ios::binary | std::ios::trunc).write(plain.constData(), plain.size());
  const std::string path = testing_support::TempDir() + "/turned.png";
  app::SaveTurned(*form, path, {Outside::kBlack, std::nullopt, false});
  const QByteArray saved = QByteArray::fromStdString(Contents(path));
  EXPECT_TRUE(saved.contains("A long edit history")) << "the XMP read with the picture";
  app::SaveTurned(*form, path, {Outside::kBlack, std::nullopt, true});
  EXPECT_FALSE(QByteArray::fromStdString(Contents(path)).contains("A long edit history"));
}

TEST(ProposedSaveName, IsBesideThePictureInItsOwnTypeWhenWritten) {
  const struct {
    const char* picture;
    int angle;
    const char* proposed;
  } cases[] = {
      {"/photos/harbour.jpg", 30, "/photos/harbour-turned-30.jpg"},
      {"/photos/Harbour.JPG", 357, "/photos/Harbour-turned-357.JPG"},
      {"/photos/scan.tiff", 2, "/photos/scan-turned-2.tiff"},
      {"/photos/anim.gif", 90, "/photos/anim-turned-90.png"},
      {"/photos/no-extension", 5, "/photos/no-extension-turned-5.png"},
      {"/photos/v1.2/raw.pgm", 0, "/photos/v1.2/raw-turned-0.png"},
      {"relative.webp", 45, "relative-turned-45.webp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(app::ProposedSaveName(c.picture, 10 * c.angle), c.proposed) << c.picture;
  }
}

}  // namespace

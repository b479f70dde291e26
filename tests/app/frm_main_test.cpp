// The window and its start-up: the description, the state Form_Load leaves, large
// pictures, and pictures that cannot be loaded (in process and as the real program).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QProcess>
#include <QScrollBar>
#include <filesystem>
#include <fstream>

#include "platform/base/error.h"
#include "platform/pixels/pixel_allocator.h"
#include "tests/support/test_support.h"

namespace {

using platform::Bitmap;
using testing_support::FirstDifference;
using testing_support::Numbered;

struct Place {
  const char* name;
  int32_t left, top, width, height;
  int tab_index;
};

TEST(FrmMain, TheWindowAsDescribed) {
  app::frm_Main form;
  EXPECT_EQ(form.Caption(), "GDI+任意角度旋转图像");
  EXPECT_EQ(form.LinkTopic(), "Form1");
  EXPECT_EQ(form.StartUpPosition(), 3);
  EXPECT_EQ(form.widget()->width(), 956);
  EXPECT_EQ(form.widget()->height(), 739);
  const Place places[] = {{"p180", 252, 432, 177, 213, 5}, {"pTM", 444, 432, 193, 217, 3},
                          {"hsTurn", 72, 692, 833, 25, 2}, {"pDes", 20, 12, 385, 385, 1},
                          {"pSrc", 44, 432, 193, 213, 0},  {"lblAngle", 8, 692, 49, 25, 4}};
  ASSERT_EQ(form.Controls().size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    const platform::Control& control = *form.Controls()[i];
    EXPECT_EQ(control.Name(), places[i].name);
    EXPECT_EQ(control.LeftPixels(), places[i].left) << places[i].name;
    EXPECT_EQ(control.TopPixels(), places[i].top) << places[i].name;
    EXPECT_EQ(control.WidthPixels(), places[i].width) << places[i].name;
    EXPECT_EQ(control.HeightPixels(), places[i].height) << places[i].name;
    EXPECT_EQ(control.TabIndex(), places[i].tab_index) << places[i].name;
  }
  EXPECT_EQ(form.hsTurn.Min(), 0);
  EXPECT_EQ(form.hsTurn.Max(), 360);
  EXPECT_EQ(form.hsTurn.SmallChange(), 1);
  EXPECT_EQ(form.hsTurn.LargeChange(), 10);
  EXPECT_EQ(form.hsTurn.Value(), 0);
  EXPECT_EQ(form.lblAngle.Caption(), "Label1");
  EXPECT_EQ(form.hsTurn.widget()->focusPolicy(), Qt::StrongFocus);
}

struct SurfaceState {
  const char* name;
  bool auto_size;
  bool visible;
};

TEST(FrmMain, StartUpLeavesTheSurfacesAsTheEngineNeedsThem) {
  const Bitmap picture = testing_support::Photo(64, 48);
  const auto form = testing_support::StartedWindow(picture);
  EXPECT_EQ(form->ScaleMode(), 3);
  const SurfaceState states[] = {
      {"pSrc", true, false}, {"pDes", false, true}, {"pTM", false, false}, {"p180", false, false}};
  for (const auto& s : states) {
    const platform::PictureBox& box = form->PictureBoxNamed(s.name);
    EXPECT_EQ(box.ScaleMode(), 3) << s.name;
    EXPECT_TRUE(box.AutoRedraw()) << s.name;
    EXPECT_EQ(box.BorderStyle(), 0) << s.name;
    EXPECT_EQ(box.AutoSize(), s.auto_size) << s.name;
    EXPECT_EQ(box.Visible(), s.visible) << s.name;
  }
  EXPECT_EQ(form->pDes.BackColor(), 0u);
  EXPECT_NE(form->pSrc.BackColor(), 0u);  // left at the window colour
  EXPECT_EQ(form->pDes.LeftPixels(), 10);
  EXPECT_EQ(form->pDes.TopPixels(), 10);
  EXPECT_EQ(form->pDes.WidthPixels(), 64);
  EXPECT_EQ(form->pDes.HeightPixels(), 48);
  EXPECT_EQ(FirstDifference(form->pDes.Pixels(), picture), "");
  EXPECT_EQ(FirstDifference(form->pSrc.Pixels(), picture), "");
  EXPECT_EQ(form->lblAngle.Caption(), "Label1");
}

TEST(FrmMain, AControlAskedForAsAnotherKindIsATypeMismatchAndAMissingOneIsRequired) {
  const auto form = testing_support::StartedWindow(testing_support::Photo(8, 8));
  const struct {
    const char* name;
    platform::ErrorNumber number;
    const char* text;
  } cases[] = {
      {"lblAngle", platform::ErrorNumber::kTypeMismatch, "Run-time error 13: Type mismatch"},
      {"pNone", platform::ErrorNumber::kObjectNotFound, "Run-time error 424: Object required"}};
  for (const auto& c : cases) {
    try {
      form->PictureBoxNamed(c.name);
      ADD_FAILURE() << "no error for " << c.name;
    } catch (const platform::Error& e) {
      EXPECT_EQ(e.number(), c.number) << c.name;
      EXPECT_EQ(std::string(e.what()).rfind(c.text, 0), 0u) << e.what();
    }
  }
}

// Transparent parts of a picture show the display's black background at start-up, beyond
// the display's first size (385 x 385) as within it.
TEST(FrmMain, ATransparentPictureIsShownOverBlackAtStartUp) {
  Bitmap picture = testing_support::Photo(500, 500);
  for (int32_t y = 0; y < 500; ++y) {
    for (int32_t x = 0; x < 500; ++x) {
      if ((x / 50 + y / 50) % 2 == 1) testing_support::Put(picture, x, y, 0x00000000);
    }
  }
  const auto form = testing_support::StartedWindow(picture);
  const Bitmap& shown = form->pDes.Pixels();
  ASSERT_EQ(shown.width(), 500);
  ASSERT_EQ(shown.height(), 500);
  for (int32_t y = 0; y < 500; ++y) {
    for (int32_t x = 0; x < 500; ++x) {
      const uint32_t expected = picture.at(x, y) == 0 ? 0xFF000000 : picture.at(x, y);
      ASSERT_EQ(shown.at(x, y), expected) << x << "," << y;
    }
  }
}

TEST(FrmMain, ALargePictureIsShownWholeAndTheBarStaysOnTop) {
  const Bitmap picture = testing_support::Photo(1200, 900);
  const auto form = testing_support::StartedWindow(picture);
  form->Show();
  EXPECT_EQ(form->pDes.WidthPixels(), 1200);
  EXPECT_EQ(form->pDes.HeightPixels(), 900);
  EXPECT_EQ(FirstDifference(form->pDes.Pixels(), picture), "");
  // The topmost widget at the bar's and the label's centres is the bar and the label.
  QWidget* window = form->widget();
  EXPECT_EQ(window->childAt(72 + 400, 692 + 12), form->hsTurn.widget());
  EXPECT_EQ(window->childAt(8 + 10, 692 + 12), form->lblAngle.widget());
  form->hsTurn.SetValue(90);
  EXPECT_EQ(form->lblAngle.Caption(), "90");
}

TEST(FrmMain, ThePictureIsTheOneInTheProgramsFolder) {
  app::frm_Main form;
  EXPECT_EQ(form.PicturePath(), QCoreApplication::applicationDirPath().toStdString() + "/test.jpg");
}

TEST(FrmMain, AMissingPictureIsReportedOnce) {
  testing_support::ReportCatcher catcher;
  app::frm_Main form(testing_support::TempDir() + "/test.jpg");
  platform::RunHandler([&] { form.Form_Load(); });
  ASSERT_EQ(catcher.reports.size(), 1u);
  EXPECT_NE(catcher.reports[0].find("File not found"), std::string::npos) << catcher.reports[0];
  EXPECT_NE(catcher.reports[0].find(form.PicturePath()), std::string::npos);
}

// The real program in a folder of its own with a bad test.jpg: a report on standard error
// naming the file and the cause, a non-zero status, and no window.
TEST(FrmMain, TheProgramRefusesBadPicturesAndEnds) {
  const struct {
    const char* what;
    std::string bytes;  // empty name: no file at all
    bool present;
    const char* cause;
  } cases[] = {
      {"missing", "", false, "File not found"},
      {"empty", "", true, "Invalid picture"},
      {"not a picture", "this is text\n", true, "Invalid picture"},
      {"truncated", std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11), true, "Invalid picture"},
  };
  for (const auto& c : cases) {
    const std::string folder = testing_support::TempDir();
    std::filesystem::copy_file(ANYTURN_BINARY, folder + "/anyturn");
    if (c.present) std::ofstream(folder + "/test.jpg", std::ios::binary) << c.bytes;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QString::fromStdString(folder + "/anyturn"), {});
    ASSERT_TRUE(program.waitForFinished(20000)) << c.what;
    const std::string err = program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.what;
    EXPECT_EQ(program.exitCode(), 1) << c.what;
    EXPECT_NE(err.find(c.cause), std::string::npos) << c.what << ": " << err;
    EXPECT_NE(err.find(folder + "/test.jpg"), std::string::npos) << c.what << ": " << err;
  }
}

}  // namespace

namespace {

// Once the surfaces have held every turn, turning again reuses their memory.
TEST(FrmMain, SteadyTurningAllocatesNoPixelMemory) {
  auto form = testing_support::StartedWindow(testing_support::Photo(300, 200));
  for (int value = 0; value <= 360; ++value) form->hsTurn.SetValue(value);
  const size_t before = platform::PixelAllocations();
  for (const int value : {30, 90, 1, 359, 180, 44, 46, 270, 133, 360, 45, 7})
    form->hsTurn.SetValue(value);
  EXPECT_EQ(platform::PixelAllocations(), before);
}

}  // namespace

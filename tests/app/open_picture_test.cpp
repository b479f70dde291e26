// Opening a picture while the program runs: Ctrl+O's dialog, a drop, and what the window
// then shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <fstream>

#include "app/frm_main.h"
#include "app/picture_opener.h"
#include "tests/support/test_support.h"

namespace {

using platform::Bitmap;
using testing_support::FirstDifference;

// A fresh window on `path` whose bar was then moved to `value` (no move for nullopt).
std::unique_ptr<app::frm_Main> Fresh(const std::string& path, std::optional<int> value) {
  auto form = std::make_unique<app::frm_Main>(path);
  form->Form_Load();
  if (value) {
    if (form->hsTurn.Value() == *value) {
      form->hsTurn.on_change();
    } else {
      form->hsTurn.SetValue(*value);
    }
  }
  return form;
}

void ExpectSameDisplay(const app::frm_Main& got, const app::frm_Main& want) {
  EXPECT_EQ(got.lblAngle.Caption(), want.lblAngle.Caption());
  for (const auto* box : {&got.pDes, &got.pSrc}) {
    const auto& other = box == &got.pDes ? want.pDes : want.pSrc;
    SCOPED_TRACE(box->Name());
    EXPECT_EQ(box->LeftPixels(), other.LeftPixels());
    EXPECT_EQ(box->TopPixels(), other.TopPixels());
    EXPECT_EQ(box->WidthPixels(), other.WidthPixels());
    EXPECT_EQ(box->HeightPixels(), other.HeightPixels());
    EXPECT_EQ(FirstDifference(box->Pixels(), other.Pixels()), "");
  }
}

// Whatever the window showed before, the opened picture is shown as a window started on
// it shows it after the same bar value.
TEST(OpenPicture, ShowsThePictureAsAWindowStartedOnItWould) {
  const std::string first =
      testing_support::WritePicture(testing_support::Photo(120, 80, 1), "first.png");
  const std::string second =
      testing_support::WritePicture(testing_support::Translucent(70, 110), "second.png");
  const struct {
    std::optional<int> before;  // the bar's value before the open; nullopt: never moved
  } cases[] = {{std::nullopt}, {30}, {90}, {0}, {359}, {180}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before ? std::to_string(*c.before) : "unmoved");
    const auto form = Fresh(first, c.before);
    form->OpenPicture(second);
    EXPECT_EQ(form->PicturePath(), second);
    ExpectSameDisplay(*form, *Fresh(second, c.before));
    // And the bar turns the new picture from then on.
    form->hsTurn.SetValue(45);
    ExpectSameDisplay(*form, *Fresh(second, 45));
  }
}

// A picture that cannot be opened is reported and changes nothing: the program goes on.
TEST(OpenPicture, ABadPictureIsReportedAndTheWindowKeepsItsOwn) {
  const std::string first =
      testing_support::WritePicture(testing_support::Photo(64, 48, 2), "first.png");
  const std::string folder = testing_support::TempDir();
  std::ofstream(folder + "/text.png") << "not a picture";
  const struct {
    std::string path;
    const char* cause;
  } cases[] = {{folder + "/missing.jpg", "Run-time error 53: File not found"},
               {folder + "/text.png", "Run-time error 481: Invalid picture"},
               {folder, "Run-time error 75: Path/File access error"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    testing_support::ReportCatcher fatal;
    const auto form = Fresh(first, 30);
    testing::internal::CaptureStderr();
    form->OpenPicture(c.path);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.cause), std::string::npos) << err;
    EXPECT_NE(err.find(c.path), std::string::npos) << err;
    EXPECT_TRUE(fatal.reports.empty());
    EXPECT_EQ(form->PicturePath(), first);
    ExpectSameDisplay(*form, *Fresh(first, 30));
  }
}

TEST(DroppedFile, TakesTheFirstLocalFileWithItsNamesOwnBytes) {
  const struct {
    QByteArray uri_list;
    std::string path;
  } cases[] = {
      {"file:///home/me/photo.jpg\r\n", "/home/me/photo.jpg"},
      {"file:///home/me/caf%E9%20photo.png\r\n", "/home/me/caf\xE9 photo.png"},
      {"file:///home/me/caf%C3%A9.png", "/home/me/caf\xC3\xA9.png"},
      {"# dragged from a browser\r\nhttp://example.org/a.png\r\nfile:///tmp/b.png\r\n",
       "/tmp/b.png"},
      {"file://localhost/tmp/c.png", "/tmp/c.png"},
      {"file:///tmp/100%25.png", "/tmp/100%.png"},
      {"file:///tmp/bad%zz.png", "/tmp/bad%zz.png"},
      {"http://example.org/a.png", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    QMimeData data;
    data.setData("text/uri-list", c.uri_list);
    EXPECT_EQ(app::DroppedFile(data), c.path) << c.uri_list.toStdString();
  }
}

// A file dropped on the window opens as one chosen in the dialog does.
TEST(PictureOpener, AFileDroppedOnTheWindowIsOpened) {
  const std::string first =
      testing_support::WritePicture(testing_support::Photo(50, 40, 3), "first.png");
  const std::string second =
      testing_support::WritePicture(testing_support::Photo(90, 30, 4), "second.png");
  const auto form = Fresh(first, std::nullopt);
  app::PictureOpener opener(*form);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(second))});
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  // Delivered to the window's filter as the toolkit delivers it during a drag.
  QObject& filter = opener;
  EXPECT_TRUE(filter.eventFilter(form->widget(), &drop));
  EXPECT_TRUE(drop.isAccepted());
  QApplication::processEvents();
  EXPECT_EQ(form->PicturePath(), second);
  ExpectSameDisplay(*form, *Fresh(second, std::nullopt));
}

}  // namespace

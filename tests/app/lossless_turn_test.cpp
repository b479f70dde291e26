// A JPEG saved as JPEG at a right angle: its coded data turned without loss, the pixels
// jpegtran's, the orientation tag folded in; anything else encoded as before.
#include <gtest/gtest.h>

#include <QFile>
#include <fstream>

#include "app/frm_main.h"
#include "app/save_turned.h"
#include "platform/imageio/picture.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/test_support.h"

namespace {

using platform::Bitmap;
using testing_support::FirstDifference;

// A JPEG of a scene with detail, `orientation` in its EXIF.
std::string Jpeg(int width, int height, int orientation, const std::string& name) {
  QByteArray bytes = hostile::Encoded(hostile::Scene(width, height), "JPEG", 90);
  if (orientation != 1) bytes = hostile::JpegWithOrientation(bytes, orientation);
  const std::string path = testing_support::TempDir() + "/" + name;
  QFile file(QString::fromStdString(path));
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  return path;
}

std::unique_ptr<app::frm_Main> TurnedTo(const std::string& path, int tenths) {
  auto form = std::make_unique<app::frm_Main>(path);
  form->Form_Load();
  form->MoveToTenths(tenths);
  return form;
}

struct Saved {
  std::string how;
  Bitmap pixels;
};

Saved Save(app::frm_Main& form, app::SaveChoice choice = {}) {
  const std::string path = testing_support::TempDir() + "/saved.jpg";
  Saved saved;
  app::SaveTurned(form, path, choice, &saved.how);
  saved.pixels = platform::LoadPicture(path).pixels();
  return saved;
}

// Largest difference of a channel: decoding moved blocks rounds a little differently
// from moving decoded pixels, so a turn the wrong way shows as tens of levels.
int Worst(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height()) return 256;
  return testing_support::MaxChannelDifference(a, b, [](int32_t, int32_t) { return true; });
}

constexpr char kLossless[] = "turned in its coded form, without loss";

TEST(LosslessTurn, EveryRightAngleOfEveryOrientationShowsWhatTheWindowShows) {
  for (const int orientation : {1, 2, 3, 5, 6, 8}) {
    const std::string path = Jpeg(64, 48, orientation, std::to_string(orientation) + ".jpg");
    for (const int tenths : {0, 900, 1800, 2700, 3600}) {
      SCOPED_TRACE("orientation " + std::to_string(orientation) + ", " +
                   std::to_string(tenths / 10) + " degrees");
      const auto form = TurnedTo(path, tenths);
      const Saved saved = Save(*form);
      EXPECT_EQ(saved.how, kLossless);
      EXPECT_LE(Worst(saved.pixels, form->pDes.Pixels()), 6);
    }
  }
}

TEST(LosslessTurn, PixelsAreJpegtransPerfectTurn) {
  const std::string path = Jpeg(64, 48, 1, "photo.jpg");
  for (const int degrees : {90, 180, 270}) {
    SCOPED_TRACE(degrees);
    const auto form = TurnedTo(path, 10 * degrees);
    const Saved saved = Save(*form);
    ASSERT_EQ(saved.how, kLossless);
    const std::string theirs = testing_support::TempDir() + "/jpegtran.jpg";
    ASSERT_TRUE(testing_support::RunTool(
        "jpegtran", {"-rotate", QString::number(degrees), "-perfect", "-outfile",
                     QString::fromStdString(theirs), QString::fromStdString(path)}));
    EXPECT_EQ(FirstDifference(saved.pixels, platform::LoadPicture(theirs).pixels()), "");
  }
}

TEST(LosslessTurn, WhatCannotBeTurnedInItsCodedFormIsEncoded) {
  struct Case {
    const char* what;
    int width, height, tenths;
    bool quality;
    const char* how;
  };
  for (const Case& c :
       {Case{"not whole blocks", 61, 45, 900, false,
             "encoded again: its sides are not whole blocks"},
        Case{"any angle", 64, 48, 300, false, "encoded"},
        Case{"a quality asked for", 64, 48, 900, true, "encoded again: a quality was asked for"}}) {
    SCOPED_TRACE(c.what);
    const auto form = TurnedTo(Jpeg(c.width, c.height, 1, "p.jpg"), c.tenths);
    app::SaveChoice choice;
    if (c.quality) choice.quality = 95;
    const Saved saved = Save(*form, choice);
    EXPECT_EQ(saved.how.substr(0, std::string(c.how).size()), c.how);
    EXPECT_EQ(saved.pixels.width(), form->pDes.Pixels().width());
    EXPECT_LE(Worst(saved.pixels, form->pDes.Pixels()), 40);
  }
  // Another format than JPEG, in or out, takes the encoder too.
  const auto png =
      TurnedTo(testing_support::WritePicture(testing_support::Photo(64, 48), "p.png"), 900);
  EXPECT_EQ(Save(*png).how.substr(0, 37), "encoded again: it was not read from a");
}

TEST(LosslessTurn, NothingToMoveCopiesTheCodedDataAndStripLeavesNoMetadata) {
  // Orientation 6 (a quarter turn to stand upright) and three more quarter turns: nothing
  // moves, and the tag must still go, or the saved picture would be shown turned.
  const std::string tagged = Jpeg(64, 48, 6, "tagged.jpg");
  for (const bool strip : {false, true}) {
    SCOPED_TRACE(strip ? "strip" : "keep");
    const auto form = TurnedTo(tagged, 2700);
    const std::string path = testing_support::TempDir() + "/same.jpg";
    std::string how;
    app::SaveTurned(*form, path, {app::Outside::kBlack, std::nullopt, strip}, &how);
    EXPECT_EQ(how, kLossless);
    EXPECT_EQ(Worst(platform::LoadPicture(path).pixels(), form->pDes.Pixels()), 0);
    if (strip) {
      EXPECT_EQ(testing_support::Contents(path).find("Exif"), std::string::npos);
    }
  }
  // Kept as it was coded: the scan after the metadata is the original's, byte for byte.
  const std::string plain = Jpeg(64, 48, 1, "plain.jpg");
  const auto form = TurnedTo(plain, 3600);
  const std::string path = testing_support::TempDir() + "/copy.jpg";
  app::SaveTurned(*form, path, {});
  const std::string before = testing_support::Contents(plain),
                    after = testing_support::Contents(path);
  const auto scan = [](const std::string& file) {
    const size_t at = file.find("\xFF\xDA");
    return at == std::string::npos ? std::string() : file.substr(at);
  };
  ASSERT_FALSE(scan(before).empty());
  EXPECT_EQ(scan(after), scan(before));
}

}  // namespace

// PlgTurn through the real calls: the corners it passes (from the call trace), the size it
// gives the target, and the pixels it leaves there.
#include <gtest/gtest.h>

#include <QWidget>

#include "platform/base/error.h"
#include "tests/support/test_support.h"
#include "turn/mod_turn.h"

namespace {

using platform::Bitmap;
using testing_support::FirstDifference;
using testing_support::Numbered;
using testing_support::RecordingTracer;

struct TableRow {
  float angle;
  int32_t width, height;
  const char* points;
};

TEST(PlgTurn, TheRightAngleTableFor200By100) {
  const TableRow rows[] = {
      {0, 200, 100, "[[0,0],[200,0],[0,100]]"},       {90, 100, 200, "[[100,0],[100,200],[0,0]]"},
      {180, 200, 100, "[[199,99],[-1,99],[199,-1]]"}, {270, 100, 200, "[[0,200],[0,0],[100,200]]"},
      {360, 200, 100, "[[0,0],[200,0],[0,100]]"},
  };
  const auto form = testing_support::StartedWindow(Numbered(200, 100));
  for (const auto& row : rows) {
    RecordingTracer tracer;
    EXPECT_TRUE(mod_Turn::PlgTurn(*form, form->pSrc, form->pDes, row.angle));
    std::vector<std::string> calls = tracer.Names();
    std::erase(calls, "Resize");  // only when the size changed
    EXPECT_EQ(calls, (std::vector<std::string>{"SetWindowPos", "PlgBlt", "Refresh"})) << row.angle;
    EXPECT_EQ(tracer.Calls("SetWindowPos").at(0),
              R"({"call":"SetWindowPos","surface":"pDes","width":)" + std::to_string(row.width) +
                  R"(,"height":)" + std::to_string(row.height) + R"(,"flags":22})");
    EXPECT_EQ(tracer.Calls("PlgBlt").at(0),
              std::string(R"({"call":"PlgBlt","dst":"pDes","src":"pSrc","points":)") + row.points +
                  R"(,"srcRect":[0,0,200,100],"result":true})");
    EXPECT_EQ(form->pDes.WidthPixels(), row.width);
    EXPECT_EQ(form->pDes.HeightPixels(), row.height);
  }
}

TEST(PlgTurn, CentresInWhateverSizeTheTargetTakes) {
  const auto form = testing_support::StartedWindow(Numbered(200, 100));
  const struct {
    int minimum, maximum;
    const char* points;
  } cases[] = {{105, 200, "[[102,0],[102,200],[2,0]]"}, {0, 97, "[[99,0],[99,200],[-1,0]]"}};
  for (const auto& c : cases) {
    form->pDes.widget()->setMinimumWidth(c.minimum);
    form->pDes.widget()->setMaximumWidth(c.maximum);
    RecordingTracer tracer;
    mod_Turn::PlgTurn(*form, form->pSrc, form->pDes, 90);
    EXPECT_NE(tracer.Calls("PlgBlt").at(0).find(std::string("\"points\":") + c.points),
              std::string::npos)
        << tracer.Calls("PlgBlt").at(0);
  }
}

TEST(PlgTurn, OneByOneAt180AndAnEmptyPicture) {
  const auto form = testing_support::StartedWindow(Numbered(1, 1));
  {
    RecordingTracer tracer;
    mod_Turn::PlgTurn(*form, form->pSrc, form->pDes, 180);
    EXPECT_NE(tracer.Calls("PlgBlt").at(0).find(R"("points":[[0,0],[-1,0],[0,-1]])"),
              std::string::npos);
    EXPECT_EQ(FirstDifference(form->pDes.Pixels(), Numbered(1, 1)), "");
  }
  form->pSrc.SetAutoSize(false);
  form->pSrc.SetOuterSizePixels(0, 0);
  for (const float angle : {0.0f, 180.0f}) {
    RecordingTracer tracer;
    EXPECT_FALSE(mod_Turn::PlgTurn(*form, form->pSrc, form->pDes, angle));
    const char* points = angle == 180 ? "[[-1,-1],[-1,-1],[-1,-1]]" : "[[0,0],[0,0],[0,0]]";
    EXPECT_NE(tracer.Calls("PlgBlt").at(0).find(points), std::string::npos)
        << tracer.Calls("PlgBlt").at(0);
    EXPECT_EQ(form->pDes.WidthPixels(), 0);
    EXPECT_EQ(tracer.Calls("Refresh").size(), 1u);  // refreshed all the same
  }
}

// Four turns by 90, each from the previous result, give the picture back; 180 is the
// picture mirrored both ways; no target pixel is left unfilled.
TEST(PlgTurn, RightAnglesAreLossless) {
  for (const auto& [w, h] : {std::pair{1, 1}, {2, 3}, {3, 2}, {54, 13}, {200, 100}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    const Bitmap picture = Numbered(w, h);
    const auto form = testing_support::StartedWindow(picture);
    platform::PictureBox* from = &form->pSrc;
    platform::PictureBox* to = &form->pDes;
    for (int turn = 0; turn < 4; ++turn) {
      to->SetBackColor(0xABCDEF);
      to->Cls();
      mod_Turn::PlgTurn(*form, *from, *to, 90);
      from = to;
      to = to == &form->pDes ? &form->p180 : &form->pDes;
    }
    EXPECT_EQ(FirstDifference(from->Pixels(), picture), "");

    form->pDes.Cls();
    mod_Turn::PlgTurn(*form, form->pSrc, form->pDes, 180);
    Bitmap mirrored(w, h, 0);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x)
        testing_support::Put(mirrored, x, y, picture.at(w - 1 - x, h - 1 - y));
    }
    EXPECT_EQ(FirstDifference(form->pDes.Pixels(), mirrored), "");
    for (const float angle : {90.0f, 270.0f, 360.0f}) {
      form->pDes.Cls();
      mod_Turn::PlgTurn(*form, form->pSrc, form->pDes, angle);
      const Bitmap& out = form->pDes.Pixels();
      for (int32_t i = 0; i < out.width() * out.height(); ++i) {
        ASSERT_NE(out.Read().pixels[i], 0xFFEFCDABu) << "unfilled at " << angle;
      }
    }
  }
}

TEST(IsRightAngle, ExactlyTheFiveRightAngles) {
  for (const float angle : {0.0f, 90.0f, 180.0f, 270.0f, 360.0f})
    EXPECT_TRUE(mod_Turn::IsRightAngle(angle)) << angle;
  for (const float angle :
       {1.0f, 89.0f, 91.0f, 179.0f, 181.0f, 359.0f, -90.0f, 450.0f, 89.99999f, 90.00001f}) {
    EXPECT_FALSE(mod_Turn::IsRightAngle(angle)) << angle;
  }
}

}  // namespace

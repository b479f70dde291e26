// GdipTurn through the real calls: the target's size, the translation, the calls made in
// order, the pixels, and what each failure of the graphics facade leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/base/error.h"

#include "platform/gdi/mod_gdiplus.h"
#include "platform/pixels/drawing.h"
#include "tests/support/test_support.h"
#include "turn/mod_turn.h"

namespace {

using platform::Bitmap;
using testing_support::FirstDifference;
using testing_support::Photo;
using testing_support::RecordingTracer;

struct Example {
  float angle;
  int32_t width, height, offX, offY;
};

TEST(GdipTurn, WorkedExamplesFor200By100) {
  const Example examples[] = {
      {30, 222, 186, 49, -1}, {135, 211, 211, 211, 70}, {0, 199, 99, -1, -1}};
  const auto form = testing_support::StartedWindow(Photo(200, 100));
  for (const auto& e : examples) {
    SCOPED_TRACE(e.angle);
    RecordingTracer tracer;
    int32_t offX = 0, offY = 0;
    EXPECT_TRUE(mod_Turn::GdipTurn(form->pSrc, form->pDes, e.angle, offX, offY));
    EXPECT_EQ(offX, e.offX);
    EXPECT_EQ(offY, e.offY);
    EXPECT_EQ(form->pDes.WidthPixels(), e.width);
    EXPECT_EQ(form->pDes.HeightPixels(), e.height);
    EXPECT_EQ(tracer.Names(), (std::vector<std::string>{
                                  "GdiplusStartup", "Cls", "Resize", "Resize", "GdipCreateFromHDC",
                                  "GdipCreateBitmapFromHBITMAP", "GdipRotateWorldTransform",
                                  "GdipTranslateWorldTransform", "GdipDrawImageRect",
                                  "GdipDisposeImage", "GdipDeleteGraphics", "GdiplusShutdown"}));
  }
}

TEST(GdipTurn, TheCallsCarryTheirArguments) {
  const auto form = testing_support::StartedWindow(Photo(200, 100));
  RecordingTracer tracer;
  int32_t offX = 0, offY = 0;
  mod_Turn::GdipTurn(form->pSrc, form->pDes, 30, offX, offY);
  const std::vector<std::string> expected = {
      R"({"call":"GdiplusStartup","status":0})",
      R"({"call":"Cls","surface":"pDes"})",
      R"({"call":"Resize","surface":"pDes","width":222,"height":100})",
      R"({"call":"Resize","surface":"pDes","width":222,"height":186})",
      R"({"call":"GdipCreateFromHDC","surface":"pDes","status":0})",
      R"({"call":"GdipCreateBitmapFromHBITMAP","surface":"pSrc","status":0})",
      R"({"call":"GdipRotateWorldTransform","angle":30,"order":1})",
      R"({"call":"GdipTranslateWorldTransform","dx":49,"dy":-1,"order":1})",
      R"({"call":"GdipDrawImageRect","rect":[0,0,200,100],"status":0})",
      R"({"call":"GdipDisposeImage"})",
      R"({"call":"GdipDeleteGraphics"})",
      R"({"call":"GdiplusShutdown"})"};
  EXPECT_EQ(tracer.lines, expected);
}

TEST(GdipTurn, ZeroDegreesIsTheExactShiftByMinusOne) {
  const Bitmap picture = Photo(200, 100);
  const auto form = testing_support::StartedWindow(picture);
  int32_t offX = 0, offY = 0;
  mod_Turn::GdipTurn(form->pSrc, form->pDes, 0, offX, offY);
  Bitmap shifted(199, 99, 0);
  for (int32_t y = 0; y < 99; ++y) {
    for (int32_t x = 0; x < 199; ++x) testing_support::Put(shifted, x, y, picture.at(x + 1, y + 1));
  }
  EXPECT_EQ(FirstDifference(form->pDes.Pixels(), shifted), "");
}

// The fast path inside the turned picture, 2 pixels or more from its edges, against the
// reference path.
TEST(GdipTurn, AgreesWithTheReferencePathAt30And135) {
  const auto form = testing_support::StartedWindow(Photo(200, 100));
  for (const float angle : {30.0f, 135.0f}) {
    int32_t offX = 0, offY = 0;
    mod_Turn::GdipTurn(form->pSrc, form->pDes, angle, offX, offY);
    const Bitmap fast = form->pDes.Pixels();
    platform::ChooseReferencePath(true);
    mod_Turn::GdipTurn(form->pSrc, form->pDes, angle, offX, offY);
    platform::ChooseReferencePath(false);
    const Bitmap& reference = form->pDes.Pixels();
    const double a = angle * 3.14159265358979 / 180;
    const auto inside = [&](int32_t x, int32_t y) {
      const double dx = x + 0.5 - offX, dy = y + 0.5 - offY;
      const double u = dx * std::cos(a) + dy * std::sin(a),
                   v = -dx * std::sin(a) + dy * std::cos(a);
      return u >= 2 && v >= 2 && u <= 198 && v <= 98;
    };
    EXPECT_LE(testing_support::MaxChannelDifference(fast, reference, inside), 2) << angle;
  }
}

class GdipFailure : public testing::Test {
 protected:
  void TearDown() override { mod_Gdiplus::Faults() = {}; }
  const Bitmap picture_ = Photo(200, 100);
  std::unique_ptr<app::frm_Main> form_ = testing_support::StartedWindow(picture_);
};

TEST_F(GdipFailure, StartupFailsTouchesNothing) {
  mod_Gdiplus::Faults().startup = true;
  int32_t offX = 12, offY = 34;
  RecordingTracer tracer;
  EXPECT_FALSE(mod_Turn::GdipTurn(form_->pSrc, form_->pDes, 30, offX, offY));
  EXPECT_EQ(offX, 12);
  EXPECT_EQ(offY, 34);
  EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), picture_), "");
  EXPECT_EQ(tracer.Names(), std::vector<std::string>{"GdiplusStartup"});
}

TEST_F(GdipFailure, NoGraphicsLeavesTheTargetClearedAndResized) {
  mod_Gdiplus::Faults().create_graphics = true;
  int32_t offX = 0, offY = 0;
  RecordingTracer tracer;
  EXPECT_FALSE(mod_Turn::GdipTurn(form_->pSrc, form_->pDes, 30, offX, offY));
  EXPECT_EQ(offX, 49);
  EXPECT_EQ(offY, -1);
  EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), Bitmap(222, 186, 0xFF000000)), "");
  EXPECT_EQ(tracer.Names().back(), "GdiplusShutdown");
  EXPECT_EQ(tracer.Calls("GdipDrawImageRect").size(), 0u);
  EXPECT_EQ(mod_Gdiplus::Live().sessions, 0);
}

TEST_F(GdipFailure, NoBitmapOrAFailedDrawReturnsFalseAndCleansUp) {
  for (const bool bitmap : {true, false}) {
    mod_Gdiplus::Faults() = {};
    (bitmap ? mod_Gdiplus::Faults().create_bitmap : mod_Gdiplus::Faults().draw) = true;
    int32_t offX = 0, offY = 0;
    RecordingTracer tracer;
    EXPECT_FALSE(mod_Turn::GdipTurn(form_->pSrc, form_->pDes, 30, offX, offY));
    EXPECT_EQ(tracer.Calls("GdipRotateWorldTransform").size(), 1u);
    EXPECT_EQ(tracer.Calls("GdipDrawImageRect").at(0).find("\"status\":0"), std::string::npos);
    EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), Bitmap(222, 186, 0xFF000000)), "");
    const auto live = mod_Gdiplus::Live();
    EXPECT_EQ(live.sessions + live.graphics + live.images, 0);
  }
}

TEST_F(GdipFailure, ARefusedTargetSizeEndsTheCallAndReleasesTheLibrary) {
  // A 0 x 0 source asks for a target of -1 x -1, which a surface refuses.
  form_->pSrc.SetAutoSize(false);
  form_->pSrc.SetOuterSizePixels(0, 0);
  int32_t offX = 0, offY = 0;
  EXPECT_THROW(mod_Turn::GdipTurn(form_->pSrc, form_->pDes, 30, offX, offY), platform::Error);
  EXPECT_EQ(mod_Gdiplus::Live().sessions, 0);
}

}  // namespace

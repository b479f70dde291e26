// The angle in tenths of a degree: its text, the engine's rules for fractional angles,
// the fine keys and the wheel, a plain bar move after them, bursts, L and the saved name.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <charconv>
#include <cmath>
#include <regex>

#include "app/angle_tenths.h"
#include "app/fine_keys.h"
#include "app/save_turned.h"
#include "platform/base/error.h"
#include "app/outside.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::FirstDifference;
using testing_support::Photo;
using testing_support::RecordingTracer;

TEST(AngleTenths, TheLabelsText) {
  const struct {
    int tenths;
    const char* text;
  } cases[] = {{0, "0"},        {1, "0.1"},    {9, "0.9"},      {10, "1"},    {303, "30.3"},
               {3574, "357.4"}, {3570, "357"}, {3599, "359.9"}, {3600, "360"}};
  for (const auto& c : cases) EXPECT_EQ(app::AngleText(c.tenths), c.text) << c.tenths;
}

TEST(AngleTenths, AnAngleWithOneDecimal) {
  const struct {
    const char* text;
    std::optional<int> tenths;
  } cases[] = {{"30.3", 303},  {"0.1", 1},    {"356.9", 3569}, {"360.0", 3600}, {"0.0", 0},
               {"030.3", 303}, {"360.1", {}}, {"30.33", {}},   {"30.", {}},     {".5", {}},
               {"-0.5", {}},   {"+1.5", {}},  {"1e1.0", {}},   {"3 .5", {}},    {"99999.5", {}},
               {"30", {}},     {"30.3.", {}}, {"", {}}};
  for (const auto& c : cases) EXPECT_EQ(app::TenthsOfDecimal(c.text), c.tenths) << c.text;
}

TEST(AngleTenths, TheSinglePrecisionAngleAndTheThumb) {
  for (int degrees = 0; degrees <= 360; ++degrees) {
    ASSERT_EQ(app::AngleOfTenths(10 * degrees), static_cast<float>(degrees));
  }
  EXPECT_EQ(app::AngleOfTenths(303), 30.3f);
  EXPECT_EQ(app::AngleOfTenths(1), 0.1f);
  const struct {
    int tenths, thumb;
  } thumbs[] = {{303, 30}, {305, 31}, {306, 31}, {3596, 360}, {4, 0}, {3600, 360}};
  for (const auto& t : thumbs) EXPECT_EQ(app::NearestDegree(t.tenths), t.thumb) << t.tenths;
}

TEST(AngleTenths, TheLevelSuggestionToATenth) {
  const struct {
    double tilt;
    int tenths;
  } cases[] = {{-3.12, 3569}, {3.0, 30},     {-3.0, 3570}, {-0.04, 0},  {0.04, 0},
               {0.06, 1},     {-0.06, 3599}, {11.73, 117}, {-45, 3150}, {45, 450}};
  for (const auto& c : cases) EXPECT_EQ(app::LevelTenths(c.tilt), c.tenths) << c.tilt;
}

// The rules of the turn, written out independently of the engine: the turned bounds, the
// translation, pDes's size, the margin, and every edge square, from the single-precision
// angle widened and the constant 3.1415926.
struct Square {
  int x, y, side;
  friend bool operator==(const Square&, const Square&) = default;
};
std::ostream& operator<<(std::ostream& out, const Square& s) {
  return out << "(" << s.x << "," << s.y << " side " << s.side << ")";
}

struct Expected {
  int width, height, offX, offY;
  std::vector<Square> squares;
};

Expected Rules(float angle, int w, int h) {
  const double t = static_cast<double>(angle) * 3.1415926 / 180;
  const double c = std::cos(t), s = std::sin(t);
  const auto r = [](double v) { return static_cast<int>(std::nearbyint(v)); };
  const int x2 = r(w * c), y2 = r(w * s), x3 = r(-h * s), y3 = r(h * c);
  const int x4 = r(w * c + x3), y4 = r(w * s + y3);
  const int min_x = std::min({0, x2, x3, x4}), max_x = std::max({0, x2, x3, x4});
  const int min_y = std::min({0, y2, y3, y4}), max_y = std::max({0, y2, y3, y4});
  const int bound_w = max_x - min_x, bound_h = max_y - min_y;
  Expected e{bound_w - 1,
             bound_h - 1,
             bound_w / 2 - (min_x + bound_w / 2) - 1,
             bound_h / 2 - (min_y + bound_h / 2) - 1,
             {}};
  const int m = (angle == 88 || angle == 178 || angle == 268 || angle == 358) ? 2 : 1;
  for (int j = m; j <= w - 1 - m; ++j) {
    e.squares.push_back({r(c * j + e.offX) - m, r(s * j + e.offY) - m, 2 * m + 1});
  }
  for (int j = m; j <= h - 1 - m; ++j) {
    e.squares.push_back({r(-j * s + e.offX) - m, r(j * c + e.offY) - m, 2 * m + 1});
  }
  return e;
}

std::vector<Square> Squares(const RecordingTracer& tracer) {
  static const std::regex pattern(
      R"(\{"call":"BitBlt","dst":"pDes","src":"pTM","rect":\[(-?\d+),(-?\d+),(\d+),\d+\].*)");
  std::vector<Square> squares;
  for (const auto& line : tracer.Calls("BitBlt")) {
    std::smatch m;
    if (std::regex_match(line, m, pattern)) {
      squares.push_back({std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])});
    }
  }
  return squares;
}

std::string FloatText(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Whole angles with worked examples first: the rules above are the engine's for them.
TEST(FineAngle, FractionalAnglesFollowTheSameRulesAsWholeOnes) {
  const auto form = testing_support::StartedWindow(Photo(200, 100));
  for (const int tenths : {300, 880, 303, 899, 1, 3599, 1805, 2681, 1799}) {
    SCOPED_TRACE(app::AngleText(tenths));
    const float angle = app::AngleOfTenths(tenths);
    const Expected e = Rules(angle, 200, 100);
    RecordingTracer tracer;
    form->SetTenths(tenths);
    EXPECT_EQ(form->lblAngle.Caption(), app::AngleText(tenths));
    ASSERT_EQ(tracer.lines[0], R"({"call":"FineTurn","angle":)" + FloatText(angle) + "}");
    EXPECT_EQ(form->pDes.WidthPixels(), e.width);
    EXPECT_EQ(form->pDes.HeightPixels(), e.height);
    const auto rotations = tracer.Calls("GdipRotateWorldTransform");
    ASSERT_EQ(rotations.size(), 2u);
    EXPECT_NE(rotations[0].find("\"angle\":" + FloatText(angle) + ","), std::string::npos);
    const float opposite = angle >= 180 ? angle - 180.0f : angle + 180.0f;
    EXPECT_NE(rotations[1].find("\"angle\":" + FloatText(opposite) + ","), std::string::npos);
    const auto translations = tracer.Calls("GdipTranslateWorldTransform");
    ASSERT_FALSE(translations.empty());
    EXPECT_NE(translations[0].find("\"dx\":" + std::to_string(e.offX) +
                                   ",\"dy\":" + std::to_string(e.offY) + ","),
              std::string::npos)
        << translations[0];
    EXPECT_EQ(Squares(tracer), e.squares);
  }
  // The worked example of a whole angle, as a check of the rules themselves.
  const Expected thirty = Rules(30, 200, 100);
  EXPECT_EQ(thirty.width, 222);
  EXPECT_EQ(thirty.offX, 49);
  EXPECT_EQ(thirty.offY, -1);
  EXPECT_EQ(thirty.squares.front(), (Square{49, -2, 3}));
}

TEST(FineAngle, RightAnglesReachedByTenthsAreStillTheBlit) {
  for (const int tenths : {0, 900, 1800, 2700, 3600}) {
    SCOPED_TRACE(tenths);
    const auto form = testing_support::StartedWindow(Photo(60, 40));
    form->SetTenths(tenths == 0 ? 1 : tenths - 1);
    RecordingTracer tracer;
    form->SetTenths(tenths);
    const std::vector<std::string> names = tracer.Names();
    EXPECT_EQ(names[1], "SetWindowPos");
    EXPECT_EQ(tracer.Calls("GdiplusStartup").size(), 0u);
    EXPECT_EQ(tracer.Calls("PlgBlt").size(), 1u);
    const auto bar = testing_support::StartedWindow(Photo(60, 40));
    bar->hsTurn.SetValue(tenths / 10);
    if (tenths == 0) bar->hsTurn.on_change();
    EXPECT_EQ(FirstDifference(form->pDes.Pixels(), bar->pDes.Pixels()), "");
    EXPECT_EQ(form->lblAngle.Caption(), std::to_string(tenths / 10));
  }
}

TEST(FineAngle, ATenthTurnsOtherwiseThanTheWholeDegree) {
  const auto fine = testing_support::StartedWindow(Photo(120, 80));
  const auto whole = testing_support::StartedWindow(Photo(120, 80));
  fine->SetTenths(303);
  whole->hsTurn.SetValue(30);
  EXPECT_NE(FirstDifference(fine->pDes.Pixels(), whole->pDes.Pixels()), "");
  // Back by three tenths: the whole degree's very pixels.
  for (int i = 0; i < 3; ++i) fine->StepTenths(-1);
  EXPECT_EQ(fine->lblAngle.Caption(), "30");
  EXPECT_EQ(FirstDifference(fine->pDes.Pixels(), whole->pDes.Pixels()), "");
}

class FineKeysTest : public testing::Test {
 protected:
  void SetUp() override {
    form_ = testing_support::StartedWindow(Photo(300, 200));
    form_->Show();
    keys_ = std::make_unique<app::FineKeys>(*form_);
    bar_ = form_->hsTurn.bar();
    form_->widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_->widget()));  // the keys are the window's
    bar_->setFocus();
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(bar_, key, modifiers);
    QCoreApplication::processEvents();  // what a key leaves queued
  }
  void Wheel(int delta, Qt::KeyboardModifiers modifiers, QPoint at = {50, 50}) {
    QWheelEvent wheel(at, form_->pDes.widget()->mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form_->pDes.widget(), &wheel);
  }
  std::unique_ptr<app::frm_Main> form_;
  std::unique_ptr<app::FineKeys> keys_;
  QScrollBar* bar_ = nullptr;
};

TEST_F(FineKeysTest, ShiftAndTheArrowsStepByATenthAndTheThumbShowsTheNearestDegree) {
  for (int i = 0; i < 30; ++i) Key(Qt::Key_Right);
  RecordingTracer tracer;
  for (int i = 0; i < 3; ++i) Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(form_->Tenths(), 303);
  EXPECT_EQ(form_->lblAngle.Caption(), "30.3");
  EXPECT_EQ(form_->hsTurn.Value(), 30);
  EXPECT_EQ(tracer.Calls("FineTurn").size(), 3u);
  EXPECT_EQ(tracer.Calls("hsTurn_Change").size(), 0u);  // the thumb moves without a turn
  for (int i = 0; i < 3; ++i) Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "30.6");
  EXPECT_EQ(form_->hsTurn.Value(), 31);
  EXPECT_EQ(tracer.Calls("hsTurn_Change").size(), 0u);
  for (int i = 0; i < 7; ++i) Key(Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "29.9");
  EXPECT_EQ(form_->hsTurn.Value(), 30);
}

TEST_F(FineKeysTest, TheEndsHoldTheTenths) {
  Key(Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "Label1");  // at 0 already: nothing to do
  Key(Qt::Key_End);
  const int handlings = form_->Handlings();
  Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(form_->Tenths(), 3600);
  EXPECT_EQ(form_->Handlings(), handlings);
  Key(Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "359.9");
}

// The trace without the surfaces' Resize records, which say only that a size differs from
// the one before, and that was the fine angle's.
std::vector<std::string> WithoutResizes(const std::vector<std::string>& lines) {
  std::vector<std::string> calls;
  for (const auto& line : lines) {
    if (line.find(R"("call":"Resize")") == std::string::npos) calls.push_back(line);
  }
  return calls;
}

// After fine steps, each plain move is today's: the same calls, label and pixels as in a
// window that only ever moved the bar.
TEST_F(FineKeysTest, APlainMoveAfterFineStepsIsTodaysMove) {
  const struct {
    const char* gesture;
    Qt::Key key;
    int value;
  } cases[] = {{"Right", Qt::Key_Right, 31},       {"Left", Qt::Key_Left, 29},
               {"PageDown", Qt::Key_PageDown, 40}, {"PageUp", Qt::Key_PageUp, 20},
               {"End", Qt::Key_End, 360},          {"Home", Qt::Key_Home, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.gesture);
    form_->hsTurn.SetValue(30);
    for (int i = 0; i < 3; ++i) Key(Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(form_->lblAngle.Caption(), "30.3");
    std::vector<std::string> fine, today;
    {
      RecordingTracer tracer;
      Key(c.key);
      fine = WithoutResizes(tracer.lines);
    }
    const auto plain = testing_support::StartedWindow(Photo(300, 200));
    plain->hsTurn.SetValue(30);
    {
      RecordingTracer tracer;
      plain->hsTurn.SetValue(c.value);
      today = WithoutResizes(tracer.lines);
    }
    ASSERT_FALSE(today.empty());
    EXPECT_EQ(fine.size(), today.size());
    for (size_t i = 0; i < std::min(fine.size(), today.size()); ++i) {
      ASSERT_EQ(fine[i], today[i]) << "record " << i;
    }
    EXPECT_EQ(form_->lblAngle.Caption(), std::to_string(c.value));
    EXPECT_EQ(form_->Tenths(), 10 * c.value);
    EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), plain->pDes.Pixels()), "");
  }
}

// A key the bar's end swallows still puts the angle back on the bar's value.
TEST_F(FineKeysTest, HomeAtTheThumbsOwnValueGoesBackToIt) {
  for (int i = 0; i < 3; ++i) {
    Key(Qt::Key_Right, Qt::ShiftModifier);
  }
  ASSERT_EQ(form_->hsTurn.Value(), 0);
  Key(Qt::Key_Home);
  EXPECT_EQ(form_->Tenths(), 0);
  EXPECT_EQ(form_->lblAngle.Caption(), "0");
  // Without fine steps it stays as today: Home at 0 does nothing.
  const int handlings = form_->Handlings();
  Key(Qt::Key_Home);
  EXPECT_EQ(form_->Handlings(), handlings);
}

TEST_F(FineKeysTest, ShiftAndTheWheelOverThePictureStepByATenth) {
  Wheel(120, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "0.1");
  Wheel(240, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "0.3");
  Wheel(-120, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "0.2");
  // A smooth wheel's small turns add up to a notch.
  for (int i = 0; i < 4; ++i) Wheel(30, Qt::ShiftModifier);
  EXPECT_EQ(form_->lblAngle.Caption(), "0.3");
  const int handlings = form_->Handlings();
  Wheel(120, Qt::NoModifier);                // the plain wheel is not the picture's
  Wheel(120, Qt::ShiftModifier, {400, 50});  // beside the picture, not over it
  EXPECT_EQ(form_->Handlings(), handlings);
  EXPECT_EQ(form_->Tenths(), 3);
}

// Fine changes queued during a handling run inside its events, none nests a second
// handling, and the last angle is the one shown and turned.
TEST(FineAngle, ABurstOfFineChangesStaysFlatAndEndsOnTheLastAngle) {
  const auto form = testing_support::StartedWindow(Photo(60, 40));
  form->Show();
  int depth = 0, max_depth = 0;
  bool queued = false;
  auto change = form->hsTurn.on_change;
  form->hsTurn.on_change = [&, change] {
    max_depth = std::max(max_depth, ++depth);
    if (!queued) {
      queued = true;
      for (int i = 0; i < 2000; ++i) {
        QMetaObject::invokeMethod(
            form->widget(),
            [&] {
              max_depth = std::max(max_depth, ++depth);
              form->StepTenths(1);
              --depth;
            },
            Qt::QueuedConnection);
      }
    }
    change();
    --depth;
  };
  form->hsTurn.SetValue(7);
  QCoreApplication::processEvents();
  EXPECT_EQ(form->Tenths(), 2070);
  EXPECT_EQ(form->lblAngle.Caption(), "207");
  EXPECT_EQ(form->hsTurn.Value(), 207);
  EXPECT_LE(max_depth, 2);
  EXPECT_LT(form->Handlings(), 10);
  const auto fresh = testing_support::StartedWindow(Photo(60, 40));
  fresh->hsTurn.SetValue(207);
  EXPECT_EQ(FirstDifference(form->pDes.Pixels(), fresh->pDes.Pixels()), "");
}

TEST(FineAngle, AnOpenedPictureIsTurnedByTheFineAngle) {
  const auto form = testing_support::StartedWindow(Photo(60, 40));
  form->SetTenths(303);
  const std::string other = testing_support::WritePicture(Photo(50, 70, 7), "other.png");
  RecordingTracer tracer;
  form->OpenPicture(other);
  EXPECT_EQ(tracer.Calls("FineTurn").size(), 1u);
  EXPECT_EQ(form->lblAngle.Caption(), "30.3");
  app::frm_Main fresh(other);
  fresh.Form_Load();
  fresh.SetTenths(303);
  EXPECT_EQ(FirstDifference(form->pDes.Pixels(), fresh.pDes.Pixels()), "");
}

TEST(FineAngle, OutsideTheRangeIsRefused) {
  const auto form = testing_support::StartedWindow(Photo(20, 20));
  EXPECT_THROW(form->SetTenths(3601), platform::Error);
  EXPECT_THROW(form->SetTenths(-1), platform::Error);
  EXPECT_EQ(form->lblAngle.Caption(), "Label1");
}

TEST(FineAngle, TheProposedNameCarriesTheTenth) {
  EXPECT_EQ(app::ProposedSaveName("/photos/harbour.jpg", 3574), "/photos/harbour-turned-357.4.jpg");
  EXPECT_EQ(app::ProposedSaveName("/photos/harbour.jpg", 3570), "/photos/harbour-turned-357.jpg");
  EXPECT_EQ(app::ProposedSaveName("scan.gif", 1), "scan-turned-0.1.png");
}

TEST(FineAngle, TheStraightenCropFollowsTheFineAngle) {
  const std::string path = testing_support::WritePicture(Photo(1200, 800), "photo.png");
  app::frm_Main form(path);
  form.Form_Load();
  form.SetTenths(303);
  app::SaveChoice choice;
  choice.outside = app::Outside::kCrop;
  const std::string fine = testing_support::TempDir() + "/fine.png";
  app::SaveTurned(form, fine, choice);
  const platform::Picture saved = platform::LoadPicture(fine);
  const platform::PixelSize size = app::StraightenCropSize(1200, 800, 30.3);
  const platform::PixelSize whole = app::StraightenCropSize(1200, 800, 30);
  ASSERT_NE(size.width, whole.width);
  EXPECT_LE(saved.WidthPixels(), size.width);
  EXPECT_GE(saved.WidthPixels(), size.width - 4);
  EXPECT_LE(saved.HeightPixels(), size.height);
  EXPECT_GE(saved.HeightPixels(), size.height - 4);
}

}  // namespace

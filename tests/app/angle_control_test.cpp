// The scroll bar's handlers: what each event shows and turns, which events the bar raises
// for which gestures, and bursts of events during a handling.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include "tests/support/test_support.h"

namespace {

using testing_support::FirstDifference;
using testing_support::Photo;
using testing_support::RecordingTracer;

class AngleControl : public testing::Test {
 protected:
  void SetUp() override {
    form_ = testing_support::StartedWindow(Photo(60, 40));
    form_->Show();
    // Count the events the bar raises, passing them on to the window's handlers.
    auto change = form_->hsTurn.on_change, scroll = form_->hsTurn.on_scroll;
    form_->hsTurn.on_change = [this, change] { Enter('C', change); };
    form_->hsTurn.on_scroll = [this, scroll] { Enter('S', scroll); };
  }
  void Enter(char kind, const std::function<void()>& handler) {
    events_ += kind;
    max_depth_ = std::max(max_depth_, ++depth_);
    handler();
    --depth_;
  }
  // The bar's place for a part of it (arrow, trough, thumb), in its own coordinates.
  QPoint Centre(QStyle::SubControl part) const {
    QScrollBar* bar = form_->hsTurn.bar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
  }
  std::unique_ptr<app::frm_Main> form_;
  std::string events_;
  int depth_ = 0;
  int max_depth_ = 0;
};

TEST_F(AngleControl, TheLabelShowsTheValueAndEachValueGoesToItsTurn) {
  RecordingTracer tracer;
  for (int value = 0; value <= 360; ++value) {
    tracer.lines.clear();
    form_->hsTurn.SetValue(value);
    if (value == 0) form_->hsTurn.on_change();  // already there: the key press still raises Change
    ASSERT_EQ(form_->lblAngle.Caption(), std::to_string(value));
    ASSERT_GE(tracer.lines.size(), 2u) << value;
    EXPECT_EQ(tracer.lines[0], R"({"call":"hsTurn_Change","value":)" + std::to_string(value) + "}");
    const bool right = value % 90 == 0;
    EXPECT_EQ(tracer.Names()[1], right ? "SetWindowPos" : "GdiplusStartup") << value;
    EXPECT_EQ(tracer.Calls("PlgBlt").size(), 1u) << value;  // the turn itself, or p180's
  }
}

TEST_F(AngleControl, ZeroStillTurnsAndTheSameValueTwiceTurnsTwice) {
  form_->hsTurn.SetValue(45);
  RecordingTracer tracer;
  form_->hsTurn.SetValue(0);
  EXPECT_EQ(form_->lblAngle.Caption(), "0");
  EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), form_->pSrc.Pixels()), "");
  form_->hsTurn.on_change();
  EXPECT_EQ(tracer.Calls("hsTurn_Change").size(), 2u);
  EXPECT_EQ(tracer.Calls("PlgBlt").size(), 2u);
}

TEST_F(AngleControl, KeysArrowsAndTroughClicksRaiseChange) {
  QScrollBar* bar = form_->hsTurn.bar();
  bar->setFocus();
  const struct {
    const char* gesture;
    std::function<void()> act;
    int value;
  } cases[] = {
      {"Right", [&] { QTest::keyClick(bar, Qt::Key_Right); }, 1},
      {"End", [&] { QTest::keyClick(bar, Qt::Key_End); }, 360},
      {"Left", [&] { QTest::keyClick(bar, Qt::Key_Left); }, 359},
      {"PageUp", [&] { QTest::keyClick(bar, Qt::Key_PageUp); }, 349},
      {"PageDown", [&] { QTest::keyClick(bar, Qt::Key_PageDown); }, 359},
      {"Home", [&] { QTest::keyClick(bar, Qt::Key_Home); }, 0},
      {"right arrow",
       [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, Centre(QStyle::SC_ScrollBarAddLine)); }, 1},
      {"trough",
       [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, Centre(QStyle::SC_ScrollBarAddPage)); },
       11},
      {"left arrow",
       [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, Centre(QStyle::SC_ScrollBarSubLine)); },
       10},
  };
  for (const auto& c : cases) {
    events_.clear();
    c.act();
    EXPECT_EQ(events_, "C") << c.gesture;
    EXPECT_EQ(form_->hsTurn.Value(), c.value) << c.gesture;
    EXPECT_EQ(form_->lblAngle.Caption(), std::to_string(c.value)) << c.gesture;
  }
}

TEST_F(AngleControl, ADragRaisesScrollAtEveryMoveAndChangeOnceOnRelease) {
  QScrollBar* bar = form_->hsTurn.bar();
  const QPoint thumb = Centre(QStyle::SC_ScrollBarSlider);
  QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
  int moves = 0;
  for (int dx = 40; dx <= 200; dx += 40, ++moves) QTest::mouseMove(bar, thumb + QPoint(dx, 0));
  QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb + QPoint(200, 0));
  EXPECT_EQ(events_, std::string(moves, 'S') + "C");
  EXPECT_GT(form_->hsTurn.Value(), 0);
  EXPECT_EQ(form_->lblAngle.Caption(), std::to_string(form_->hsTurn.Value()));
}

// Ten thousand events queued during one handling: they run inside its DoEvents, none nests
// a second handling, and the last value is the one shown and turned.
TEST_F(AngleControl, ABurstDuringAHandlingStaysFlatAndEndsOnTheLastValue) {
  QScrollBar* bar = form_->hsTurn.bar();
  auto change = form_->hsTurn.on_change;
  bool queued = false;
  form_->hsTurn.on_change = [&, change] {
    if (!queued) {
      queued = true;
      for (int i = 1; i <= 10000; ++i) {
        QMetaObject::invokeMethod(bar, "setValue", Qt::QueuedConnection, Q_ARG(int, i % 361));
      }
    }
    change();
  };
  form_->hsTurn.SetValue(7);
  QCoreApplication::processEvents();
  const int last = 10000 % 361;
  EXPECT_EQ(form_->hsTurn.Value(), last);
  EXPECT_EQ(form_->lblAngle.Caption(), std::to_string(last));
  EXPECT_LE(max_depth_, 2);  // a handling, and at most one event arriving inside it
  EXPECT_LT(form_->Handlings(), 10);
  // pDes holds the last value's turn: the same as a fresh window turned to it once.
  const auto fresh = testing_support::StartedWindow(Photo(60, 40));
  fresh->hsTurn.SetValue(last);
  EXPECT_EQ(FirstDifference(form_->pDes.Pixels(), fresh->pDes.Pixels()), "");
}

TEST_F(AngleControl, AnErrorInATurnIsReportedOnceAndTheLabelAlreadyShowsTheValue) {
  testing_support::ReportCatcher catcher;
  form_->pSrc.SetAutoSize(false);
  form_->pSrc.SetOuterSizePixels(0, 0);  // the world-transform turn refuses this picture
  form_->hsTurn.SetValue(30);
  ASSERT_EQ(catcher.reports.size(), 1u);
  EXPECT_NE(catcher.reports[0].find("Invalid property value"), std::string::npos)
      << catcher.reports[0];
  EXPECT_EQ(form_->lblAngle.Caption(), "30");
}

}  // namespace

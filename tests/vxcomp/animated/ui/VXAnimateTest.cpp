#include "vxcomp/animated/ui/VXAnimate.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Generous bound for waiting on a sequence of timer ticks on a busy machine.
constexpr int kWaitBoundMs = 5000;

struct Recorder {
  std::vector<int> shown;    // Frame after each change
  std::vector<int> written;  // the value the handler received
};

void record(TVXAnimated& control, Recorder& recorder) {
  control.setOnChangeFrame([&control, &recorder](QObject* sender, int value) {
    EXPECT_EQ(sender, &control);
    recorder.written.push_back(value);
    recorder.shown.push_back(control.frame());
  });
}

// The circulation window's setting: five frames, 100 ms, played once.
void setUpLikeWindow(TVXAnimated& control) {
  control.setFrameCount(5);
  control.setInterval(100);
  control.setLoop(false);
}

int timerChildren(const TVXAnimated& control) {
  return static_cast<int>(control.findChildren<QTimer*>().size());
}

TEST(VXAnimated, StartsStoppedWithDefaults) {
  TVXAnimated control;
  EXPECT_EQ(control.size(), QSize(30, 30));
  EXPECT_EQ(control.frameCount(), 1);
  EXPECT_EQ(control.frame(), 0);
  EXPECT_EQ(control.interval(), 0);
  EXPECT_FALSE(control.play());
  EXPECT_FALSE(control.reverse());
  EXPECT_TRUE(control.loop());
  EXPECT_FALSE(control.hasTransparentColor());
  EXPECT_EQ(control.timer(), nullptr);
  EXPECT_EQ(timerChildren(control), 0);
}

TEST(VXAnimated, PlaysOnceToTheLastFrameThenFromTheStartAgain) {
  TVXAnimated control;
  setUpLikeWindow(control);
  Recorder recorder;
  record(control, recorder);

  QElapsedTimer clock;
  clock.start();
  control.setPlay(true);
  ASSERT_NE(control.timer(), nullptr);
  EXPECT_EQ(timerChildren(control), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control.play(); }, kWaitBoundMs));
  const qint64 firstRun = clock.elapsed();
  EXPECT_EQ(recorder.shown, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(control.frame(), 4);
  EXPECT_GE(firstRun, 350);  // four steps of 100 ms, with some slack for timer granularity
  // There is no timer while stopped, and none left behind by the stop inside a tick.
  EXPECT_EQ(control.timer(), nullptr);
  EXPECT_EQ(timerChildren(control), 0);

  recorder = {};
  clock.restart();
  control.setPlay(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control.play(); }, kWaitBoundMs));
  EXPECT_GE(clock.elapsed(), 450);
  EXPECT_EQ(recorder.shown, (std::vector<int>{0, 1, 2, 3, 4}));
  // Stepping past the last frame passes the unbrought value on.
  EXPECT_EQ(recorder.written, (std::vector<int>{5, 1, 2, 3, 4}));
  EXPECT_EQ(timerChildren(control), 0);
}

TEST(VXAnimated, PlayWhilePlayingDoesNotRestart) {
  TVXAnimated control;
  setUpLikeWindow(control);
  Recorder recorder;
  record(control, recorder);

  control.setPlay(true);
  const QTimer* running = control.timer();
  ASSERT_TRUE(QTest::qWaitFor([&] { return control.frame() == 2; }, kWaitBoundMs));
  control.setPlay(true);
  EXPECT_EQ(control.timer(), running);
  EXPECT_EQ(control.frame(), 2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control.play(); }, kWaitBoundMs));
  EXPECT_EQ(recorder.shown, (std::vector<int>{1, 2, 3, 4}));
}

TEST(VXAnimated, ReverseWithoutLoopStopsOnTheFirstFrame) {
  TVXAnimated control;
  setUpLikeWindow(control);
  control.setInterval(20);
  control.setFrame(3);
  control.setReverse(true);
  Recorder recorder;
  record(control, recorder);

  control.setPlay(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control.play(); }, kWaitBoundMs));
  EXPECT_EQ(recorder.shown, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(timerChildren(control), 0);
}

TEST(VXAnimated, LoopWrapsAroundAndCanBeStoppedFromTheHandler) {
  TVXAnimated control;
  control.setFrameCount(3);
  control.setInterval(10);
  std::vector<int> shown;
  control.setOnChangeFrame([&](QObject*, int) {
    shown.push_back(control.frame());
    // Stopping from inside a tick frees the timer that is delivering it.
    if (shown.size() == 5) control.setPlay(false);
  });

  control.setPlay(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control.play(); }, kWaitBoundMs));
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1, 2}));
  EXPECT_EQ(control.timer(), nullptr);
  EXPECT_EQ(timerChildren(control), 0);
  QCoreApplication::processEvents();  // the detached timer goes; nothing more may tick
  EXPECT_EQ(shown.size(), 5u);
}

TEST(VXAnimated, IntervalDecidesWhetherATimerRuns) {
  TVXAnimated control;
  control.setFrameCount(5);
  control.setLoop(false);

  // Without an interval Play is stored but nothing can move: there is no timer.
  control.setPlay(true);
  EXPECT_TRUE(control.play());
  EXPECT_EQ(control.timer(), nullptr);

  // An interval given while playing starts the timer with it.
  control.setInterval(15);
  ASSERT_NE(control.timer(), nullptr);
  EXPECT_EQ(control.timer()->interval(), 15);
  control.setInterval(25);
  ASSERT_NE(control.timer(), nullptr);
  EXPECT_EQ(control.timer()->interval(), 25);
  EXPECT_EQ(timerChildren(control), 1);

  // Back to 0 frees the timer but keeps Play.
  control.setInterval(0);
  EXPECT_TRUE(control.play());
  EXPECT_EQ(control.timer(), nullptr);
  EXPECT_EQ(timerChildren(control), 0);

  control.setPlay(false);
  control.setInterval(40);
  EXPECT_EQ(control.timer(), nullptr);  // an interval alone does not start anything
  control.setPlay(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !control.play(); }, kWaitBoundMs));
  EXPECT_EQ(control.frame(), 4);
}

TEST(VXAnimated, FrameWritesAreBroughtIntoRange) {
  TVXAnimated control;
  control.setFrameCount(5);
  Recorder recorder;
  record(control, recorder);
  QSignalSpy spy(&control, &TVXAnimated::changeFrame);

  control.setFrame(-1);
  EXPECT_EQ(control.frame(), 4);
  control.setFrame(7);
  EXPECT_EQ(control.frame(), 2);
  control.setFrame(12);  // also frame 2: no change, no call
  control.setFrame(2);
  control.setFrame(-30);
  EXPECT_EQ(control.frame(), 4);

  EXPECT_EQ(recorder.written, (std::vector<int>{-1, 7, -30}));
  EXPECT_EQ(recorder.shown, (std::vector<int>{4, 2, 4}));
  ASSERT_EQ(spy.count(), 3);
  EXPECT_EQ(spy.at(1).at(0).value<QObject*>(), &control);
  EXPECT_EQ(spy.at(1).at(1).toInt(), 7);
}

TEST(VXAnimated, FrameCountBelowOneIsTakenAsOne) {
  TVXAnimated control;
  control.setFrameCount(4);
  control.setFrame(3);
  control.setFrameCount(0);
  EXPECT_EQ(control.frameCount(), 1);
  control.setFrame(5);  // would divide by zero with a count of 0
  EXPECT_EQ(control.frame(), 0);
  control.setFrameCount(-3);
  control.setFrame(-1);
  EXPECT_EQ(control.frame(), 0);
}

TEST(VXAnimated, PublishesItsPropertiesByName) {
  TVXAnimated control;
  EXPECT_TRUE(control.setProperty("FrameCount", 5));
  EXPECT_TRUE(control.setProperty("Frame", 7));
  EXPECT_TRUE(control.setProperty("Loop", false));
  EXPECT_TRUE(control.setProperty("TransparentColor", QColor(255, 0, 255)));
  EXPECT_EQ(control.frame(), 2);
  EXPECT_FALSE(control.loop());
  EXPECT_EQ(control.transparentColor(), QColor(255, 0, 255));
  QImage picture(40, 12, QImage::Format_RGB32);
  picture.fill(Qt::red);
  EXPECT_TRUE(control.setProperty("BitMap", QPixmap::fromImage(picture)));
  EXPECT_EQ(control.height(), 12);
}

TEST(VXAnimated, AssigningAPictureSetsTheHeightOnly) {
  TVXAnimated control;
  control.resize(70, 30);
  QImage strip(350, 21, QImage::Format_RGB32);
  strip.fill(Qt::blue);
  strip.setPixel(349, 20, qRgb(1, 2, 3));
  control.setBitMap(strip);
  EXPECT_EQ(control.size(), QSize(70, 21));
  // The picture is a copy of what was assigned.
  strip.fill(Qt::red);
  const QImage kept = control.bitMap().toImage();
  EXPECT_EQ(kept.size(), QSize(350, 21));
  EXPECT_EQ(kept.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(kept.pixel(349, 20), qRgb(1, 2, 3));

  control.setBitMap(QPixmap());
  EXPECT_EQ(control.size(), QSize(70, 30));
  EXPECT_TRUE(control.bitMap().isNull());
}

// Painting: a strip of three 10 by 8 frames in red, green and blue, each with a magenta square.
class VXAnimatedPaint : public ::testing::Test {
 protected:
  static constexpr QRgb kBackground = qRgb(12, 200, 34);
  static constexpr QRgb kMagenta = qRgb(255, 0, 255);
  const QRgb frameColours[3] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};

  void SetUp() override {
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(kBackground));
    parent.setPalette(palette);
    parent.resize(100, 100);
    control = new TVXAnimated(&parent);
    QImage strip(30, 8, QImage::Format_RGB32);
    for (int f = 0; f < 3; ++f) {
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) strip.setPixel(f * 10 + x, y, frameColours[f]);
      for (int y = 2; y < 5; ++y)
        for (int x = 2; x < 5; ++x) strip.setPixel(f * 10 + x, y, kMagenta);
    }
    control->resize(10, 30);
    control->setBitMap(strip);
    control->setFrameCount(3);
  }

  QImage paint() { return control->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  QWidget parent;
  TVXAnimated* control = nullptr;
};

TEST_F(VXAnimatedPaint, ShowsTheCurrentFramesSlice) {
  for (int f = 0; f < 3; ++f) {
    control->setFrame(f);
    const QImage shown = paint();
    ASSERT_EQ(shown.size(), QSize(10, 8));
    EXPECT_EQ(shown.pixel(0, 0), frameColours[f]) << "frame " << f;
    EXPECT_EQ(shown.pixel(9, 7), frameColours[f]) << "frame " << f;
    EXPECT_EQ(shown.pixel(3, 3), kMagenta) << "no transparent colour: magenta stays";
  }
}

TEST_F(VXAnimatedPaint, TransparentColourShowsTheBackground) {
  control->setTransparentColor(QColor(255, 0, 255));
  control->setFrame(1);
  QImage shown = paint();
  EXPECT_EQ(shown.pixel(3, 3), kBackground);
  EXPECT_EQ(shown.pixel(2, 4), kBackground);
  EXPECT_EQ(shown.pixel(5, 3), frameColours[1]);
  EXPECT_EQ(shown.pixel(1, 3), frameColours[1]);

  // Turning it off again shows the strip as it is; the picture itself was not changed.
  control->clearTransparentColor();
  EXPECT_EQ(paint().pixel(3, 3), kMagenta);
}

TEST_F(VXAnimatedPaint, AFrameBeyondTheStripShowsTheBackground) {
  control->setFrameCount(5);
  control->setFrame(4);
  const QImage shown = paint();
  EXPECT_EQ(shown.pixel(0, 0), kBackground);
  EXPECT_EQ(shown.pixel(9, 7), kBackground);
}

TEST_F(VXAnimatedPaint, EmptyPictureIsWhite) {
  control->setBitMap(QImage());
  control->setTransparentColor(QColor(255, 255, 255));
  const QImage shown = paint();
  ASSERT_EQ(shown.size(), QSize(10, 30));
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) ASSERT_EQ(shown.pixel(x, y), qRgb(255, 255, 255));
}

TEST_F(VXAnimatedPaint, DesignModeOutlinesTheControl) {
  control->setBitMap(QImage());
  control->resize(30, 30);
  control->setDesigning(true);
  const QImage shown = paint();
  int black = 0, white = 0;
  for (int x = 0; x < 30; ++x) (shown.pixel(x, 0) == qRgb(0, 0, 0) ? black : white)++;
  EXPECT_GT(black, 10);  // dashed: mostly drawn, with gaps
  EXPECT_GT(white, 0);
  EXPECT_EQ(shown.pixel(15, 15), qRgb(255, 255, 255));
  control->setDesigning(false);
  EXPECT_EQ(paint().pixel(0, 0), qRgb(255, 255, 255));
}

}  // namespace

namespace {

TEST(VXAnimated, ReportsMouseEventsWithTheControlAndPosition) {
  TVXAnimated control;
  QSignalSpy down(&control, &TVXAnimated::mouseDown);
  QSignalSpy up(&control, &TVXAnimated::mouseUp);
  QSignalSpy move(&control, &TVXAnimated::mouseMove);
  QMouseEvent hover(QEvent::MouseMove, QPointF(5, 6), control.mapToGlobal(QPointF(5, 6)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&control, &hover);
  QTest::mouseClick(&control, Qt::LeftButton, Qt::ShiftModifier, QPoint(12, 7));
  ASSERT_EQ(down.count(), 1);
  ASSERT_EQ(up.count(), 1);
  EXPECT_EQ(down.at(0).at(0).value<QObject*>(), &control);
  EXPECT_EQ(down.at(0).at(1).value<Qt::MouseButton>(), Qt::LeftButton);
  EXPECT_EQ(down.at(0).at(2).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
  EXPECT_EQ(down.at(0).at(3).toInt(), 12);
  EXPECT_EQ(down.at(0).at(4).toInt(), 7);
  EXPECT_EQ(up.at(0).at(3).toInt(), 12);
  // Moves are reported without a pressed button too.
  ASSERT_GE(move.count(), 1);
  EXPECT_EQ(move.at(0).at(3).toInt(), 5);
  EXPECT_EQ(move.at(0).at(4).toInt(), 6);
}

}  // namespace

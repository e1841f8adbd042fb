#include "vxcomp/animated/ui/VXAnimate.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QTimer>

#include <algorithm>
#include <utility>

TVXAnimated::TVXAnimated(QWidget* parent) : QWidget(parent) {
  // The control paints every pixel itself; nothing of the parent shows through.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  // Mouse moves are reported also without a pressed button.
  setMouseTracking(true);
  resize(kDefaultSize, kDefaultSize);
}

TVXAnimated::~TVXAnimated() {
  // The timer is a child and would go with the control anyway; stopping it first means no tick
  // can reach a half-destroyed control.
  stopFrameTimer();
}

QPixmap TVXAnimated::bitMap() const { return QPixmap::fromImage(strip_); }

void TVXAnimated::setBitMap(const QPixmap& picture) { setBitMap(picture.toImage()); }

void TVXAnimated::setBitMap(const QImage& picture) {
  strip_ = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_ARGB32);
  const int pictureHeight = strip_.isNull() ? 0 : strip_.height();
  resize(width(), pictureHeight > 0 ? pictureHeight : kDefaultSize);
  update();
}

void TVXAnimated::setFrameCount(int count) {
  // A count below 1 would leave no frame to show and make every frame write divide by zero.
  count = std::max(count, 1);
  if (count == frameCount_) return;
  frameCount_ = count;
  update();
}

void TVXAnimated::setFrame(int value) {
  const int shown = value < 0 ? frameCount_ - 1 : value % frameCount_;
  if (shown == frame_) return;
  frame_ = shown;
  // Handlers see the value as it was written, so that a caller stepping past the end can tell.
  if (onChangeFrame_) onChangeFrame_(this, value);
  emit changeFrame(this, value);
  emit frameChanged(frame_);
  update();
}

void TVXAnimated::setInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  stopFrameTimer();
  interval_ = milliseconds;
  if (play_ && interval_ > 0) startFrameTimer();
}

void TVXAnimated::setPlay(bool on) {
  if (on == play_) return;
  play_ = on;
  if (play_) {
    if (interval_ > 0) startFrameTimer();
  } else {
    stopFrameTimer();
  }
  emit playChanged(play_);
}

void TVXAnimated::setTransparentColor(const QColor& colour) {
  const bool same = colour.isValid() == transparentColor_.isValid() &&
                    (!colour.isValid() || colour.rgb() == transparentColor_.rgb());
  if (same) return;
  transparentColor_ = colour.isValid() ? QColor(colour.rgb()) : QColor();
  update();
}

void TVXAnimated::setDesigning(bool on) {
  if (on == designing_) return;
  designing_ = on;
  update();
}

QColor TVXAnimated::backgroundColour() const { return palette().color(backgroundRole()); }

void TVXAnimated::startFrameTimer() {
  stopFrameTimer();
  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(interval_);
  connect(timer_, &QTimer::timeout, this, &TVXAnimated::tick);
  timer_->start();
}

void TVXAnimated::stopFrameTimer() {
  QTimer* timer = std::exchange(timer_, nullptr);
  if (!timer) return;
  timer->stop();
  if (inTick_) {
    // The timer is stopped from within its own timeout; it cannot be deleted under its own
    // signal. Detached from the control, it is no longer the control's timer and goes with the
    // next turn of the event loop.
    timer->disconnect(this);
    timer->setParent(nullptr);
    timer->deleteLater();
  } else {
    delete timer;
  }
}

void TVXAnimated::tick() {
  const bool wasInTick = std::exchange(inTick_, true);
  bool atEnd;
  if (!reverse_) {
    setFrame(frame_ + 1);
    atEnd = frame_ == frameCount_ - 1;
  } else {
    setFrame(frame_ - 1);
    atEnd = frame_ == 0;
  }
  if (atEnd && !loop_) setPlay(false);
  inTick_ = wasInTick;
}

QImage TVXAnimated::frameImage() const {
  // Pixels outside the strip come out fully transparent and so show the background fill.
  QImage slice = strip_.copy(frame_ * width(), 0, width(), height());
  if (!transparentColor_.isValid()) return slice;
  const QRgb key = transparentColor_.rgb() & RGB_MASK;
  const QRgb background = backgroundColour().rgb() | 0xff000000u;
  for (int y = 0; y < slice.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(slice.scanLine(y));
    for (int x = 0; x < slice.width(); ++x) {
      if (qAlpha(line[x]) != 0 && (line[x] & RGB_MASK) == key) line[x] = background;
    }
  }
  return slice;
}

void TVXAnimated::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (strip_.isNull() || strip_.height() <= 0) {
    painter.fillRect(rect(), Qt::white);
  } else {
    painter.fillRect(rect(), backgroundColour());
    painter.drawImage(0, 0, frameImage());
  }
  if (designing_) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void TVXAnimated::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The preferred size is the size the control was given, so a layout keeps it.
  updateGeometry();
}

void TVXAnimated::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  emit mouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
}

void TVXAnimated::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  emit mouseMove(this, event->buttons(), event->modifiers(), at.x(), at.y());
}

void TVXAnimated::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  emit mouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
}

// TVXAnimated: a small control that shows one frame of a horizontal picture strip and can step
// through the frames on a timer (the barcode pictures beside the circulation window's fields).
//
// The strip holds FrameCount frames side by side, each as wide as the control. The control paints
// its whole area itself. While Play is true and Interval is greater than 0 the control owns a
// QTimer that steps Frame; while it is stopped there is no timer object at all.
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>

class QTimer;

class TVXAnimated : public QWidget {
  Q_OBJECT
  // The strip: frames side by side, each as wide as the control. Copied in on assignment.
  Q_PROPERTY(QPixmap BitMap READ bitMap WRITE setBitMap)
  // Number of frames in the strip; at least 1.
  Q_PROPERTY(int FrameCount READ frameCount WRITE setFrameCount)
  // The frame shown, 0 to FrameCount - 1. See setFrame for how other values are taken.
  Q_PROPERTY(int Frame READ frame WRITE setFrame NOTIFY frameChanged)
  // Milliseconds between two frames while playing; 0 (or less) keeps the frame still.
  Q_PROPERTY(int Interval READ interval WRITE setInterval)
  // True while the animation runs (or would run, once Interval is greater than 0).
  Q_PROPERTY(bool Play READ play WRITE setPlay NOTIFY playChanged)
  // Step backwards.
  Q_PROPERTY(bool Reverse READ reverse WRITE setReverse)
  // Start again after the last frame instead of stopping there.
  Q_PROPERTY(bool Loop READ loop WRITE setLoop)
  // Colour of the strip that shows the control's background instead; an invalid QColor is none.
  Q_PROPERTY(QColor TransparentColor READ transparentColor WRITE setTransparentColor)

 public:
  // Called with the control and the value written to Frame (before it was brought into range)
  // whenever the shown frame changes.
  using ChangeFrameHandler = std::function<void(QObject* sender, int frame)>;

  static constexpr int kDefaultSize = 30;

  explicit TVXAnimated(QWidget* parent = nullptr);
  ~TVXAnimated() override;

  QPixmap bitMap() const;
  // Copies the picture and sets the control's height to the picture's height (kDefaultSize when
  // the picture is empty); the width stays as it is.
  void setBitMap(const QPixmap& picture);
  void setBitMap(const QImage& picture);

  int frameCount() const { return frameCount_; }
  // Values below 1 are taken as 1 (there is always at least the one frame shown).
  void setFrameCount(int count);

  int frame() const { return frame_; }
  // A negative value selects the last frame, any other value is taken modulo FrameCount. When the
  // result differs from the current frame it is stored, OnChangeFrame and changeFrame receive
  // the value as written, and the control repaints. Writing the current frame does nothing.
  void setFrame(int value);

  int interval() const { return interval_; }
  // When the value changes, the running timer (if any) is freed and, while playing with a value
  // greater than 0, a new one is started with it.
  void setInterval(int milliseconds);

  bool play() const { return play_; }
  // true starts the timer when Interval is greater than 0; false frees it. Writing the current
  // value does nothing, so playing again while playing does not restart the sequence.
  void setPlay(bool on);

  bool reverse() const { return reverse_; }
  void setReverse(bool on) { reverse_ = on; }

  bool loop() const { return loop_; }
  void setLoop(bool on) { loop_ = on; }

  QColor transparentColor() const { return transparentColor_; }
  // Only the red, green and blue parts take part in the comparison with the strip's pixels.
  void setTransparentColor(const QColor& colour);
  void clearTransparentColor() { setTransparentColor(QColor()); }
  bool hasTransparentColor() const { return transparentColor_.isValid(); }

  void setOnChangeFrame(ChangeFrameHandler handler) { onChangeFrame_ = std::move(handler); }

  // Design mode draws a dashed rectangle along the control's edges, so that an empty or
  // transparent control can be found on its form.
  bool isDesigning() const { return designing_; }
  void setDesigning(bool on);

  // The timer while playing, nullptr while stopped.
  const QTimer* timer() const { return timer_; }

  // The colour that shows through the transparent colour and fills an area the strip does not
  // cover: the background colour the control inherits from its parent.
  QColor backgroundColour() const;

  QSize sizeHint() const override { return size(); }

 signals:
  void changeFrame(QObject* sender, int frame);
  void frameChanged(int frame);
  void playChanged(bool playing);
  void mouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
                 int y);
  void mouseMove(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                 int x, int y);
  void mouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
               int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void startFrameTimer();
  void stopFrameTimer();
  void tick();
  // The current frame's slice of the strip, with the transparent colour replaced.
  QImage frameImage() const;

  QImage strip_;
  int frameCount_ = 1;
  int frame_ = 0;
  int interval_ = 0;
  bool play_ = false;
  bool reverse_ = false;
  bool loop_ = true;
  bool designing_ = false;
  bool inTick_ = false;
  QColor transparentColor_;
  QTimer* timer_ = nullptr;
  ChangeFrameHandler onChangeFrame_;
};

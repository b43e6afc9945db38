#pragma once

#include <QAbstractButton>
#include <QImage>

namespace tk {

// A push button whose face is a picture drawn centred and unscaled, clipped
// to the face; a null picture leaves the face blank. A picture made at
// `scale` times the size is drawn at 1/scale of its pixel size, so that on a
// screen scaled by as much it shows every one of its pixels.
class ImageButton : public QAbstractButton {
    Q_OBJECT
  public:
    ImageButton(const QImage& image, int scale = 1, QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
};

// A push or toggle button whose text wraps onto further lines when it does
// not fit, keeping "&" as the keyboard mnemonic. A pressed toggle button has
// a face of a strongly different colour and a frame inside its edge. The
// mnemonic clicks at once, as the mouse does, rather than after Qt's animated
// press, so that it keeps its place among other input.
class WrappingButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit WrappingButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tk

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
// not fit, keeping "&" as the keyboard mnemonic.
class WrappingButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit WrappingButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tk

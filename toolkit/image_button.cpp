#include "toolkit/image_button.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace tk {

namespace {

QStyleOptionButton buttonOption(const QAbstractButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.features = QStyleOptionButton::None;
    if (button.isDown())
        option.state |= QStyle::State_Sunken;
    else if (button.isChecked())
        option.state |= QStyle::State_On;
    else
        option.state |= QStyle::State_Raised;
    if (button.hasFocus())
        option.state |= QStyle::State_HasFocus;
    return option;
}

} // namespace

ImageButton::ImageButton(const QImage& image, int scale, QWidget* parent)
    : QAbstractButton(parent), image_(image) {
    image_.setDevicePixelRatio(scale);
    setFocusPolicy(Qt::StrongFocus);
}

QSize ImageButton::sizeHint() const {
    return image_.isNull() ? QSize(40, 20) : image_.deviceIndependentSize().toSize();
}

void ImageButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    const QStyleOptionButton option = buttonOption(*this);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    if (!image_.isNull()) {
        painter.setClipRect(rect().adjusted(2, 2, -2, -2));
        // Smooth when the screen's scale is not the picture's (1.5 or 3).
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPoint shift = isDown() ? QPoint(1, 1) : QPoint(0, 0);
        const QSize size = image_.deviceIndependentSize().toSize();
        const QPoint topLeft((width() - size.width()) / 2, (height() - size.height()) / 2);
        painter.drawImage(topLeft + shift, image_);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

WrappingButton::WrappingButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

QSize WrappingButton::sizeHint() const {
    return fontMetrics().size(Qt::TextShowMnemonic, text()) + QSize(16, 10);
}

void WrappingButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    const QStyleOptionButton option = buttonOption(*this);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const QRect textArea = rect().adjusted(4, 2, -4, -2);
    painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                         palette(), isEnabled(), text(), QPalette::ButtonText);
}

} // namespace tk

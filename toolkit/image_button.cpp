#include "toolkit/image_button.h"

#include <QPainter>
#include <QShortcutEvent>
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

// A pressed toggle button (a held die) must stand out from a released one
// at a glance: its face is filled with a colour far from the released face
// (well over 3:1 in contrast), and a frame inside its edge tells it apart
// without relying on colour at all.
constexpr int kHeldFrameWidth = 2;
constexpr int kHeldFrameInset = 3;

struct HeldColours {
    QColor face;
    QColor ink; // frame and text
};

// Dark on a light style, light on a dark one.
HeldColours heldColours(const QPalette& palette) {
    if (palette.color(QPalette::Button).lightnessF() > 0.5)
        return {QColor(38, 72, 135), QColor(255, 255, 255)};
    return {QColor(205, 225, 255), QColor(0, 0, 0)};
}

// Paints the face of a pressed toggle button and gives the colour its text
// is to be drawn in.
QColor paintHeldFace(QPainter& painter, const QAbstractButton& button) {
    HeldColours colours = heldColours(button.palette());
    if (!button.isEnabled()) {
        colours.face.setAlphaF(0.5);
        colours.ink.setAlphaF(0.5);
    }
    painter.fillRect(button.rect().adjusted(1, 1, -1, -1), colours.face);
    painter.save();
    painter.setPen(QPen(colours.ink, kHeldFrameWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal edge = kHeldFrameInset + kHeldFrameWidth / 2.0;
    painter.drawRect(QRectF(button.rect()).adjusted(edge, edge, -edge, -edge));
    painter.restore();
    return colours.ink;
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

bool WrappingButton::event(QEvent* event) {
    if (event->type() != QEvent::Shortcut || static_cast<QShortcutEvent*>(event)->isAmbiguous())
        return QAbstractButton::event(event);
    if (focusPolicy() != Qt::NoFocus)
        setFocus(Qt::ShortcutFocusReason);
    click();
    return true;
}

void WrappingButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    const QStyleOptionButton option = buttonOption(*this);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    QPalette colours = palette();
    if (isCheckable() && isChecked())
        colours.setColor(QPalette::ButtonText, paintHeldFace(painter, *this));
    const QRect textArea = rect().adjusted(4, 2, -4, -2);
    painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                         colours, isEnabled(), text(), QPalette::ButtonText);
}

} // namespace tk

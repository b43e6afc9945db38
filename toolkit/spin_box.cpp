#include "toolkit/spin_box.h"

#include <QAccessibleWidget>
#include <QLineEdit>
#include <algorithm>

namespace tk {

namespace {

// Qt's own spin box interface reads a "value" property that this widget does
// not have, and so would report 0 whatever the box shows.
class SpinBoxAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit SpinBoxAccessible(SpinBox* box) : QAccessibleWidget(box, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text text) const override {
        return text == QAccessible::Value ? box()->shownText() : QAccessibleWidget::text(text);
    }
    QVariant currentValue() const override { return box()->shownNumber(); }
    // A value set by a screen reader is stepped to, as with the arrows.
    void setCurrentValue(const QVariant& value) override {
        box()->stepBy(value.toInt() - box()->value());
    }
    QVariant maximumValue() const override { return box()->maximum(); }
    QVariant minimumValue() const override { return box()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

  private:
    SpinBox* box() const { return static_cast<SpinBox*>(widget()); }
};

QAccessibleInterface* spinBoxAccessible(const QString& className, QObject* object) {
    auto* box = qobject_cast<SpinBox*>(object);
    if (box && className == QLatin1String(SpinBox::staticMetaObject.className()))
        return new SpinBoxAccessible(box);
    return nullptr;
}

} // namespace

SpinBox::SpinBox(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(std::max(minimum, maximum)),
      value_(minimum) {
    setKeyboardTracking(false);
    static const bool accessible = [] {
        QAccessible::installFactory(spinBoxAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = true; });
}

int SpinBox::value() {
    adoptTypedNumber();
    return value_;
}

void SpinBox::setValue(int value) {
    value_ = std::clamp(value, minimum_, maximum_);
    typed_ = false;
}

QString SpinBox::shownText() const {
    return lineEdit()->text();
}

void SpinBox::setShownText(const QString& text) {
    lineEdit()->setText(text);
    typed_ = false;
    QAccessibleValueChangeEvent changed(this, shownNumber());
    QAccessible::updateAccessibility(&changed);
}

int SpinBox::shownNumber() const {
    bool ok = false;
    const int shown = lineEdit()->text().trimmed().toInt(&ok, 10);
    return ok ? shown : value_;
}

void SpinBox::stepBy(int steps) {
    adoptTypedNumber();
    const long long next = static_cast<long long>(value_) + steps;
    value_ = static_cast<int>(std::clamp<long long>(next, minimum_, maximum_));
    emit stepped();
}

QValidator::State SpinBox::validate(QString&, int&) const {
    // Typing is free; only a whole in-range number is ever adopted.
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled SpinBox::stepEnabled() const {
    // Both arrows always answer, so a step at a bound still refreshes the text.
    return StepUpEnabled | StepDownEnabled;
}

void SpinBox::adoptTypedNumber() {
    // Only the player's typing counts: after a step the field still shows the
    // old number until the program sets the new text, and reading it back
    // then would undo the step.
    if (!typed_)
        return;
    typed_ = false;
    bool ok = false;
    const int typed = lineEdit()->text().trimmed().toInt(&ok, 10);
    if (ok && typed >= minimum_ && typed <= maximum_)
        value_ = typed;
}

} // namespace tk

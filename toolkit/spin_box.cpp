#include "toolkit/spin_box.h"

#include <QLineEdit>
#include <algorithm>

namespace tk {

SpinBox::SpinBox(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(std::max(minimum, maximum)),
      value_(minimum) {
    setKeyboardTracking(false);
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

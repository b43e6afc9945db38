#pragma once

#include <QAbstractSpinBox>

namespace tk {

// A spin box whose shown text is set by the program and may differ from its
// value: a delay of 7000 ms shows "7" while the value, kept within the range,
// is 5. A whole number within range that the player typed into the field
// since the program last set the value or the text becomes the value when the
// value is read or stepped; any other text leaves the value as it was.
class SpinBox : public QAbstractSpinBox {
    Q_OBJECT
  public:
    SpinBox(int minimum, int maximum, QWidget* parent = nullptr);

    int value();
    void setValue(int value);
    QString shownText() const;
    void setShownText(const QString& text);
    // The number shown, or the value while the text is no whole number.
    int shownNumber() const;
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

  signals:
    // One per step of the arrows, keys or wheel; value() is already the new one.
    void stepped();

  protected:
    StepEnabled stepEnabled() const override;

  private:
    void adoptTypedNumber();

    int minimum_;
    int maximum_;
    int value_;
    bool typed_ = false; // the field holds the player's typing, not the program's text
};

} // namespace tk

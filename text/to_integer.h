#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

// Reads an integer the way every number typed or stored by the game is read:
// leading blanks and tabs are skipped, an optional sign follows, then "$" and
// hexadecimal digits, "%" and binary digits, or decimal digits, up to the
// first other character. Text without digits gives 0. Values too long for 32
// bits wrap around modulo 2^32, so any text gives a defined result.
int toInteger(const QString& text);

// toInteger a character at a time, for text that is read in parts.
class IntegerReader {
  public:
    // False once the number has ended; the character and any after it do
    // not count.
    bool read(QChar c);
    int value() const;

  private:
    enum class Stage { Blanks, Sign, Base, Digits, Done };
    Stage stage_ = Stage::Blanks;
    bool negative_ = false;
    int base_ = 10;
    std::uint32_t value_ = 0; // unsigned arithmetic wraps without undefined behaviour
};

// Value of a digit in base 2 to 16 (letters in either case), or -1 when the
// character is no digit of that base.
int digitValue(QChar c, int base);

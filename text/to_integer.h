#pragma once

#include <QString>

// Reads an integer the way every number typed or stored by the game is read:
// leading blanks and tabs are skipped, an optional sign follows, then "$" and
// hexadecimal digits, "%" and binary digits, or decimal digits, up to the
// first other character. Text without digits gives 0. Values too long for 32
// bits wrap around modulo 2^32, so any text gives a defined result.
int toInteger(const QString& text);

// Value of a digit in base 2 to 16 (letters in either case), or -1 when the
// character is no digit of that base.
int digitValue(QChar c, int base);

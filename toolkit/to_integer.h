#pragma once

#include <QString>

// Reads an integer the way every number typed or stored by the game is read:
// leading blanks and tabs are skipped, an optional sign follows, then "$" and
// hexadecimal digits, "%" and binary digits, or decimal digits, up to the
// first other character. Text without digits gives 0. Values too long for 32
// bits wrap around modulo 2^32, so any text gives a defined result.
int toInteger(const QString& text);

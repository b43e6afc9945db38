#pragma once

#include <QString>

// The computer's column of the score sheet.
inline constexpr int kComputerColumn = 2;

// Plays one whole turn of the computer: rolls all five dice once, shows its
// dice and hand name and enters exactly one value into its column. A roll of
// nothing is never entered: the turn starts again from a new roll.
void computerTurn();

// Enters the value into the computer's column when that cell is free:
// 1 when written, 0 when the cell was taken.
int computerWrite(int row, int value);

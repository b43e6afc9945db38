#pragma once

#include "rules/rules.h"

#include <QString>

// The computer's column of the score sheet.
inline constexpr int kComputerColumn = 2;

// The computer's entry of one turn: the row it wrote and the hand code it
// played (after the stronger mode's improvement).
struct ComputerMove {
    int row;
    HandCode code;
};

// Plays one whole turn of the computer: rolls all five dice once, shows its
// dice and hand name and enters exactly one value into its column. A roll of
// nothing is never entered: the turn starts again from a new roll.
ComputerMove computerTurn();

// The name the computer shows for a hand code: the language file's text, else
// the default from the settings.
QString computerHandName(HandCode code);

// Enters the value into the computer's column when that cell is free:
// 1 when written, 0 when the cell was taken.
int computerWrite(int row, int value);

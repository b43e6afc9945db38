#include "game/board.h"

#include "rules/rules.h"
#include "text/to_integer.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"

QString readHand() {
    QString hand;
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        hand += tk::gadgetText(die);
    return hand;
}

HandCode classifyHand() {
    return classifyHand(readHand());
}

void rollDice() {
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        if (tk::gadgetState(die) != 1)
            tk::setGadgetText(die, randomFace());
}

void clearDice() {
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die) {
        if (tk::gadgetState(die) == 1)
            tk::setGadgetState(die, 0);
        tk::setGadgetText(die, QString());
    }
}

bool cellIsFree(int row, int column) {
    return tk::cellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, column) ==
           tk::kNoColour;
}

int firstFreeRow(int column) {
    for (int row = 0; row < kSheetRows; ++row)
        if (cellIsFree(row, column))
            return row;
    return -1;
}

int cellValue(int row, int column) {
    return toInteger(tk::cellText(Gadget::ScoreSheet, row, column));
}

void enterScore(int row, int column, int value) {
    tk::setCellText(Gadget::ScoreSheet, row, column, QString::number(value));
    tk::setCellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, kFilledColour, column);
}

void markFilledCells(int column) {
    for (int row = 0; row < kTotalRow; ++row) {
        if (row == kBonusRow || tk::cellText(Gadget::ScoreSheet, row, column).isEmpty())
            continue;
        tk::setCellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, kFilledColour,
                          column);
    }
}

void applyBonus(int column) {
    FaceRowValues faceRows{};
    for (int row = 0; row < kBonusRow; ++row)
        faceRows[row] = cellValue(row, column);
    if (bonusEarned(faceRows))
        tk::setCellText(Gadget::ScoreSheet, kBonusRow, column, QString::number(kBonusPoints));
}

void updateTotal(int column) {
    ColumnValues rows{};
    for (int row = 0; row < kTotalRow; ++row)
        rows[row] = cellValue(row, column);
    tk::setCellText(Gadget::ScoreSheet, kTotalRow, column, QString::number(columnTotal(rows)));
}

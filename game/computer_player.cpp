#include "game/computer_player.h"

#include "game/board.h"
#include "rules/computer_rules.h"
#include "rules/game_state.h"
#include "rules/rules.h"
#include "store/settings.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/language.h"

#include <QtGlobal>
#include <optional>

namespace {

// The stronger computer shows an example of its improved hand instead of
// the faces it rolled.
void showOnDice(const QString& example) {
    const auto faces = exampleHandFaces(example);
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        tk::setGadgetText(die, faces[die - Gadget::FirstDie]);
}

// One roll, its display and its entry; nothing when the roll gave nothing
// and so entered nothing.
std::optional<ComputerMove> playOneRoll() {
    rollDice();
    HandCode code = classifyHand();
    markFilledCells(kComputerColumn);
    QString hand = readHand();
    if (game().strongerCPU == 1) {
        code = boostHandCode(code);
        hand = exampleHand(code);
        showOnDice(hand);
    }
    tk::setGadgetText(Gadget::HandNameLabel, computerHandName(code));
    if (code == HandNothing)
        return std::nullopt;
    // The chain, then the face choice, then a scratch: exactly one value is
    // entered while the column has a free cell, which it always has when the
    // computer plays.
    ComputerMove move{-1, code};
    const auto write = [&move](int row, int value) {
        if (computerWrite(row, value) != 1)
            return false;
        move.row = row;
        return true;
    };
    [[maybe_unused]] const bool placed = placeHand(code, hand, write);
    Q_ASSERT(placed);
    return move;
}

} // namespace

int computerWrite(int row, int value) {
    if (!cellIsFree(row, kComputerColumn))
        return 0;
    enterScore(row, kComputerColumn, value);
    return 1;
}

ComputerMove computerTurn() {
    // A roll of nothing starts the turn again from a new roll; looping rather
    // than recursing keeps even a long run of such rolls off the stack.
    std::optional<ComputerMove> move;
    while (!(move = playOneRoll())) {
    }
    return *move;
}

QString computerHandName(HandCode code) {
    Q_ASSERT(isHandCode(code));
    return lang(handNameKey(code), game().handNameDefaults[code]);
}

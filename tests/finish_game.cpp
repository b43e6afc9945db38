// A game of two people at its last entry, played to its end through the
// main window, with the result box shown for real. Prints "box" once the box
// is up; the tests then end the process by a signal or by taking the X
// server away. Exits as the game does.

#include "game/board.h"
#include "game/startup.h"
#include "game/turn_flow.h"
#include "rules/game_state.h"
#include "rules/random.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kLastRow = 13;

// Every cell but player 1's last is entered: Anna has 21 points, Bert 17.
void fillTheSheet() {
    for (int column = 1; column <= 2; ++column)
        for (int row = 0; row <= kLastRow; ++row)
            if (row != 6 && !(column == 1 && row == kLastRow))
                enterScore(row, column, row == 12 ? (column == 1 ? 21 : 17) : 0);
    updateTotal(2);
    game().filledCount = {0, 12, 13};
    // Two rolls of 9, J, Q, K, A: no five of a kind, so the last entry is 0.
    dice::scriptRandom({5, 3, 2, 1, 0, 5, 3, 2, 1, 0});
}

void press(int gadget, tk::ClickKind click = tk::ClickKind::None) {
    tk::postEvent({tk::EventKind::Gadget, Window::Main, gadget, -1, click});
}

// Looks for the result box until it is up, then says so.
void announceTheBox() {
    if (!QApplication::activeModalWidget()) {
        QTimer::singleShot(10, announceTheBox);
        return;
    }
    std::puts("box");
    std::fflush(stdout);
}

} // namespace

int main() {
    tk::initToolkit();
    tk::catchEndSignals();
    resetGameState();
    fillFixedTables();
    game().playerCount = 2;
    game().playerNames = {QString(), QStringLiteral("Anna"), QStringLiteral("Bert")};
    game().langFile = QStringLiteral("none.lang");
    const std::vector<std::function<void()>> steps = {
        [] {
            fillTheSheet();
            press(Gadget::RollButton);
        },
        [] { press(Gadget::RollButton); },
        [] {
            tk::setGadgetState(Gadget::ScoreSheet, kLastRow);
            press(Gadget::ScoreSheet, tk::ClickKind::LeftClick);
            QTimer::singleShot(0, announceTheBox);
        },
    };
    std::size_t next = 0;
    tk::setIdleHook([&] {
        if (next < steps.size())
            steps[next++]();
    });
    runMainWindow();
    shutdownQuintara();
    return 0;
}

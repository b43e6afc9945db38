#include "core/turn_flow.h"

#include "core/board.h"
#include "core/computer_player.h"
#include "core/game_state.h"
#include "core/rules.h"
#include "store/high_score_file.h"
#include "toolkit/toolkit.h"
#include "ui/help_about.h"
#include "ui/high_score_window.h"
#include "ui/ids.h"
#include "ui/language.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"

#include <algorithm>

namespace {

constexpr int kCategoriesPerPlayer = 13;
constexpr int kRollsPerTurn = 2;

enum class LoopEnd { Closed, Exit, NewGame };

// The values that live only while one main window's loop runs.
struct Turn {
    int currentPlayer = 1;
    int rollsThisTurn = 0;
};

bool rollSoundOn() {
    return game().sound == 0;
}

void roll(Turn& turn) {
    if (rollSoundOn())
        tk::playSound(Resource::RollSound);
    tk::disableGadget(Gadget::HoldAllButton, false);
    rollDice();
    ++turn.rollsThisTurn;
    if (turn.rollsThisTurn < kRollsPerTurn)
        return;
    tk::setGadgetText(Gadget::HandNameLabel, lang(handNameKey(classifyHand())));
    tk::disableGadget(Gadget::RollButton, true);
    tk::disableGadget(Gadget::ScoreSheet, false);
    tk::disableGadget(Gadget::HoldAllButton, true);
    markFilledCells(turn.currentPlayer);
    turn.rollsThisTurn = 0;
}

void holdAll() {
    const int held = tk::gadgetState(Gadget::HoldAllButton) == 1 ? 1 : 0;
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        tk::setGadgetState(die, held);
}

// Every player's total, read from the total row.
std::vector<int> readTotals() {
    std::vector<int> totals;
    for (int player = 1; player <= game().playerCount; ++player)
        totals.push_back(cellValue(kTotalRow, player));
    return totals;
}

void announceResult(const std::vector<int>& totals) {
    int best = -1;
    int bestPlayer = 0;
    bool tie = false;
    for (int player = 1; player <= static_cast<int>(totals.size()); ++player) {
        const int total = totals[player - 1];
        if (total == best)
            tie = true;
        if (total > best) {
            best = total;
            bestPlayer = player;
            tie = false;
        }
    }
    const LanguageTexts texts;
    const QString message =
        tie ? texts.text("tie") : game().playerNames[bestPlayer] + u' ' + texts.text("win");
    tk::messageBox(QString(), message, tk::Buttons::Ok);
}

void recordHighScores(const std::vector<int>& totals) {
    std::vector<std::pair<QString, int>> results;
    for (int player = 1; player <= static_cast<int>(totals.size()); ++player)
        results.emplace_back(game().playerNames[player], totals[player - 1]);
    recordResults(game().highScores, results);
    saveHighScores(QString::fromLatin1(kHighScoreFileName), game().highScores);
}

void checkGameOver() {
    const GameState& state = game();
    int filled = 0;
    for (int player = 1; player <= state.playerCount; ++player)
        filled += state.filledCount[player];
    if (filled / state.playerCount != kCategoriesPerPlayer)
        return;
    const std::vector<int> totals = readTotals();
    announceResult(totals);
    recordHighScores(totals);
}

void playComputerTurn(Turn& turn) {
    GameState& state = game();
    tk::setGadgetText(Gadget::PlayerLabel, state.playerNames[kComputerColumn]);
    computerTurn();
    // Paint the computer's dice and hand name now, so they stay on view for
    // the whole pause.
    tk::repaintWindow(Window::Main);
    tk::pause(computerPause(state.delay));
    tk::disableGadget(Gadget::RollButton, false);
    turn.currentPlayer = 1;
    ++state.filledCount[kComputerColumn];
    applyBonus(kComputerColumn);
    updateTotal(kComputerColumn);
    tk::setGadgetText(Gadget::HandNameLabel, QString());
    tk::setGadgetText(Gadget::PlayerLabel, state.playerNames[1]);
    turn.rollsThisTurn = 0;
    clearDice();
    checkGameOver();
}

void passTurn(Turn& turn) {
    GameState& state = game();
    tk::disableGadget(Gadget::ScoreSheet, true);
    applyBonus(turn.currentPlayer);
    updateTotal(turn.currentPlayer);
    ++state.filledCount[turn.currentPlayer];
    turn.currentPlayer = turn.currentPlayer % state.playerCount + 1;
    tk::setGadgetText(Gadget::PlayerLabel, state.playerNames[turn.currentPlayer]);
    tk::setGadgetText(Gadget::HandNameLabel, QString());
    clearDice();
    checkGameOver();
    if (state.vsComputer == 1)
        playComputerTurn(turn);
    tk::disableGadget(Gadget::RollButton, false);
    tk::setGadgetState(Gadget::HoldAllButton, 0);
}

void choose(Turn& turn) {
    const int row = tk::gadgetState(Gadget::ScoreSheet);
    if (row < 0 || !cellIsFree(row, turn.currentPlayer))
        return;
    enterScore(row, turn.currentPlayer, categoryValue(row, classifyHand(), readHand()));
    passTurn(turn);
}

bool confirmNewGame() {
    const LanguageTexts texts;
    const QString question = texts.text("NewGameDesc");
    const QString title = texts.text("NewGame");
    return tk::messageBox(title, question, tk::Buttons::YesNo) == tk::Answer::Yes;
}

// Runs window 2 or the options dialog with the main window disabled.
template <typename Dialog> void runBesideMainWindow(Dialog dialog) {
    tk::disableWindow(Window::Main, true);
    dialog();
    tk::activateWindow(Window::Main);
}

void dispatchGadget(Turn& turn) {
    // Clicks made faster than the game handles them (or during the computer's
    // pause) wait in the queue; one that was made while its control was
    // enabled must not act after the game has since disabled it.
    const int gadget = tk::eventGadgetNumber();
    if (!tk::isGadgetEnabled(gadget))
        return;
    switch (gadget) {
    case Gadget::ScoreSheet:
        if (tk::eventClickKind() == tk::ClickKind::LeftClick)
            choose(turn);
        break;
    case Gadget::RollButton:
        roll(turn);
        break;
    case Gadget::HoldAllButton:
        holdAll();
        break;
    default: // a die flips its own held state
        break;
    }
}

// Handles one menu choice; a value when the choice ends this window's loop.
std::optional<LoopEnd> dispatchMenu() {
    const int id = tk::eventMenuId();
    switch (id) {
    case Menu::NewGame:
        if (!confirmNewGame())
            return std::nullopt;
        std::fill(game().filledCount.begin(), game().filledCount.end(), 0);
        return LoopEnd::NewGame;
    case Menu::Exit:
        return LoopEnd::Exit;
    case Menu::Help:
        showHelp();
        break;
    case Menu::About:
        showAbout();
        break;
    case Menu::Options:
        runBesideMainWindow(runOptionsDialog);
        break;
    case Menu::HighScores:
        runBesideMainWindow(runHighScoreWindow);
        break;
    default:
        if (id >= Menu::FirstLanguage && id <= Menu::LastLanguage)
            switchLanguage(id);
        break;
    }
    return std::nullopt;
}

LoopEnd runEventLoop() {
    Turn turn;
    for (;;) {
        switch (tk::waitEvent()) {
        case tk::EventKind::Gadget:
            dispatchGadget(turn);
            break;
        case tk::EventKind::Menu:
            if (const auto end = dispatchMenu())
                return *end;
            break;
        case tk::EventKind::CloseRequest:
            if (tk::eventWindowNumber() == Window::Main)
                return LoopEnd::Closed;
            break;
        case tk::EventKind::None:
            break;
        }
    }
}

} // namespace

int computerPause(int delay) {
    return std::clamp(delay, 0, kMaxComputerDelay);
}

void runMainWindow() {
    for (;;) {
        buildMainWindow();
        if (rollSoundOn())
            tk::prepareSound();
        if (runEventLoop() != LoopEnd::NewGame)
            return;
        closeMainWindow();
    }
}

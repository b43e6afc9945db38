#include "game/turn_flow.h"

#include "game/board.h"
#include "game/computer_player.h"
#include "game/sheet_hints.h"
#include "rules/game_state.h"
#include "rules/rules.h"
#include "store/high_score_file.h"
#include "store/settings.h"
#include "toolkit/toolkit.h"
#include "ui/help_about.h"
#include "ui/high_score_window.h"
#include "ui/ids.h"
#include "ui/language.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"

#include <QtGlobal>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr int kCategoriesPerPlayer = 13;
constexpr int kRollsPerTurn = 2;

enum class LoopEnd { Closed, Exit, NewGame };

// The values that live only while one main window's loop runs.
struct Turn {
    int currentPlayer = 1;
    int rollsThisTurn = 0;
    // The computer's last entry, marked on the sheet until the person rolls.
    std::optional<ComputerMove> computerMove;
};

// Names the player in the player label and marks the player's column title.
void showCurrentPlayer(int player) {
    tk::setGadgetText(Gadget::PlayerLabel, game().playerNames[player]);
    tk::markColumnTitle(Gadget::ScoreSheet, player);
}

bool rollSoundOn() {
    return game().sound == 0;
}

void roll(Turn& turn) {
    if (turn.computerMove) {
        clearComputerMove(*turn.computerMove);
        turn.computerMove.reset();
    }
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
    showScorePreview(turn.currentPlayer);
    turn.rollsThisTurn = 0;
    // From the keyboard, the choice starts at the player's first free row.
    tk::selectCell(Gadget::ScoreSheet, firstFreeRow(turn.currentPlayer), turn.currentPlayer);
    tk::focusGadget(Gadget::ScoreSheet);
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
    Q_ASSERT(tie || bestPlayer >= 1); // totals are never negative
    const LanguageTexts texts(game().langFile);
    const QString message =
        tie ? texts.text("tie") : game().playerNames[bestPlayer] + u' ' + texts.text("win");
    tk::messageBox(QString(), message, tk::Buttons::Ok);
}

using PlayerTotals = std::vector<std::pair<QString, int>>;

// The results of a finished game while its result box is open. They are
// recorded when the box closes, or on the way out should the process end
// inside the box: when the window system goes away, Qt's platform plugin
// ends the process with exit().
std::optional<PlayerTotals> unrecordedResults;

void recordUnrecordedResults() {
    if (const std::optional<PlayerTotals> results = std::exchange(unrecordedResults, {}))
        recordFinishedGame(QString::fromLatin1(kHighScoreFileName), game().highScores, *results);
}

PlayerTotals playerTotals(const std::vector<int>& totals) {
    PlayerTotals results;
    for (int player = 1; player <= static_cast<int>(totals.size()); ++player)
        results.emplace_back(game().playerNames[player], totals[player - 1]);
    return results;
}

void checkGameOver() {
    const GameState& state = game();
    int filled = 0;
    for (int player = 1; player <= state.playerCount; ++player)
        filled += state.filledCount[player];
    Q_ASSERT(state.playerCount >= 2); // set-up always gives a game two to four players
    if (filled / state.playerCount != kCategoriesPerPlayer)
        return;
    const std::vector<int> totals = readTotals();
    // Registered at the first finished game, after Qt's own statics: it runs
    // before they are gone.
    [[maybe_unused]] static const bool recordedAtExit = std::atexit(recordUnrecordedResults) == 0;
    unrecordedResults = playerTotals(totals);
    announceResult(totals);
    recordUnrecordedResults();
}

void playComputerTurn(Turn& turn) {
    GameState& state = game();
    Q_ASSERT(state.playerCount == kComputerColumn && turn.currentPlayer == kComputerColumn);
    showCurrentPlayer(kComputerColumn);
    turn.computerMove = computerTurn();
    // The entry stays marked after the pause too: at a short delay the
    // person would not see the dice at all.
    markComputerMove(*turn.computerMove);
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
    showCurrentPlayer(1);
    turn.rollsThisTurn = 0;
    clearDice();
    checkGameOver();
}

void passTurn(Turn& turn) {
    GameState& state = game();
    tk::disableGadget(Gadget::ScoreSheet, true);
    // A row left selected would tint the entry into the next player's turn.
    tk::setGadgetState(Gadget::ScoreSheet, -1);
    clearScorePreview(turn.currentPlayer);
    applyBonus(turn.currentPlayer);
    updateTotal(turn.currentPlayer);
    ++state.filledCount[turn.currentPlayer];
    turn.currentPlayer = turn.currentPlayer % state.playerCount + 1;
    showCurrentPlayer(turn.currentPlayer);
    tk::setGadgetText(Gadget::HandNameLabel, QString());
    clearDice();
    checkGameOver();
    if (state.vsComputer == 1)
        playComputerTurn(turn);
    tk::disableGadget(Gadget::RollButton, false);
    tk::setGadgetState(Gadget::HoldAllButton, 0);
    tk::focusGadget(Gadget::RollButton);
}

void choose(Turn& turn) {
    const int row = tk::gadgetState(Gadget::ScoreSheet);
    if (row < 0 || !cellIsFree(row, turn.currentPlayer))
        return;
    enterScore(row, turn.currentPlayer, categoryValue(row, classifyHand(), readHand()));
    passTurn(turn);
}

bool confirmNewGame() {
    const LanguageTexts texts(game().langFile);
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

// After a language switch the sheet's words are told again in the new language.
void retellSheetHints(const Turn& turn) {
    if (tk::isGadgetEnabled(Gadget::ScoreSheet))
        showScorePreview(turn.currentPlayer);
    if (turn.computerMove)
        markComputerMove(*turn.computerMove);
}

// Handles one menu choice; a value when the choice ends this window's loop.
std::optional<LoopEnd> dispatchMenu(const Turn& turn) {
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
        if (id >= Menu::FirstLanguage && id <= Menu::LastLanguage) {
            switchLanguage(id);
            retellSheetHints(turn);
        }
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
            if (const auto end = dispatchMenu(turn))
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
    return std::clamp(delay, 0, kMaxDelayMilliseconds);
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

#pragma once

#include "rules/rules.h"
#include "store/high_score_file.h"
#include "store/settings.h"

#include <QString>
#include <array>

// Number of players a game may have, and the score columns they own.
inline constexpr int kMaxPlayers = 4;

static_assert(kHandNameKeys == kHandCodeCount, "every hand code has a name");

// The one program-wide record of settings, mode, players and fixed tables.
// Player-indexed arrays count from 1; index 0 is unused.
struct GameState {
    int vsComputer = 0;
    int strongerCPU = 0;
    int playerCount = 0;
    int delay = 0;
    QString lang;
    QString langFile;
    int sound = 0;
    HighScoreTable highScores{};
    std::array<QString, kHandNameKeys> handNameDefaults{}; // by hand code
    std::array<QString, 3> langFiles{};
    std::array<QString, kMaxPlayers + 1> playerNames{};
    std::array<int, kMaxPlayers + 1> filledCount{};
    // The fixed tables of the rules, under the names the record gives them;
    // the rules read these very tables, so there is no second copy to fill.
    static constexpr const auto& exampleHands = kExampleHands;
    static constexpr const auto& fiveOfAKinds = kFiveOfAKinds;
    static constexpr const auto& faceTexts = kFaceTexts;
};

// The single instance; every module reaches the state through this call.
GameState& game();

// Zeroes every field (numbers 0, texts empty), as at program entry.
void resetGameState();

// Fills langFiles with its fixed contents and clears playerNames and
// filledCount.
void fillFixedTables();

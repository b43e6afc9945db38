#pragma once

#include "store/high_score_file.h"

#include <QString>
#include <array>

// Number of players a game may have, and the score columns they own.
inline constexpr int kMaxPlayers = 4;
inline constexpr int kFaceCount = 6;
inline constexpr int kHandCodeCount = 8;
inline constexpr int kExampleVariants = 6;

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
    std::array<QString, kHandCodeCount> handNameDefaults{};
    std::array<QString, 3> langFiles{};
    std::array<QString, kMaxPlayers + 1> playerNames{};
    std::array<int, kMaxPlayers + 1> filledCount{};
    std::array<int, kFaceCount> faceCounts{};
    std::array<std::array<QString, kExampleVariants>, kHandCodeCount> exampleHands{};
    std::array<QString, 6> fiveOfAKinds{};
    std::array<QString, kFaceCount> faceTexts{};
};

// The single instance; every module reaches the state through this call.
GameState& game();

// Zeroes every field (numbers 0, texts empty), as at program entry.
void resetGameState();

// Fills langFiles, exampleHands, fiveOfAKinds and faceTexts with their fixed
// contents, clears playerNames, filledCount and faceCounts.
void fillFixedTables();

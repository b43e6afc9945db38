#pragma once

// Window numbers.
namespace Window {
inline constexpr int Main = 0;
inline constexpr int Setup = 0;
inline constexpr int Options = 1;
inline constexpr int HighScores = 2;
} // namespace Window

// Gadget numbers; unique across all open windows.
namespace Gadget {
// Game set-up dialog.
inline constexpr int PlayersButton = 0;
inline constexpr int ComputerButton = 1;
// Main window.
inline constexpr int ScoreSheet = 0;
inline constexpr int FirstDie = 1; // dice are 1 to 5
inline constexpr int LastDie = 5;
inline constexpr int RollButton = 6;
inline constexpr int HoldAllButton = 7;
inline constexpr int PlayerLabel = 8;
inline constexpr int HandNameLabel = 9;
// Options dialog.
inline constexpr int DelaySpin = 15;
inline constexpr int ApplyButton = 16;
inline constexpr int CancelButton = 17;
inline constexpr int StrongerCheck = 18;
inline constexpr int SoundCheck = 19;
// High-score window.
inline constexpr int HighScoreList = 50;
} // namespace Gadget

// Menu item ids of the main window.
namespace Menu {
inline constexpr int Bar = 0;
inline constexpr int NewGame = 1;
inline constexpr int Exit = 2;
inline constexpr int Help = 3;
inline constexpr int About = 4;
inline constexpr int Options = 5;
inline constexpr int HighScores = 6;
inline constexpr int FirstLanguage = 10; // 10, 11, 12
inline constexpr int LastLanguage = 12;
} // namespace Menu

// Fonts and sounds loaded by number.
namespace Resource {
inline constexpr int DiceFont = 0;
inline constexpr int RollSound = 0;
inline constexpr int PlayersImage = 0;
inline constexpr int ComputerImage = 1;
} // namespace Resource

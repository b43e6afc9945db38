#pragma once

// Shows the high-score table, loaded afresh from highscores.dat and sorted
// best first (the sort reorders the table itself), until its window is closed.
// Enables the main window again when it closes.
void runHighScoreWindow();

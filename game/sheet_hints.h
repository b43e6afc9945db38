#pragma once

#include "game/computer_player.h"

// What the score sheet shows beside the scores: the value each free row would
// give and the computer's last entry. None of it is a cell's text or colour,
// so the rules never take it for an entry.

// In every free category cell of the column, the value that choosing it would
// enter with the dice as they stand: greyed in the cell, as its tooltip and as
// its accessible description.
void showScorePreview(int column);
// Takes the preview off the column again.
void clearScorePreview(int column);

// Frames the computer's entry and names its hand and value there, in the
// tooltip and the accessible description of that cell.
void markComputerMove(const ComputerMove& move);
// Takes the frame and the words off that cell again.
void clearComputerMove(const ComputerMove& move);

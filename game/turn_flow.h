#pragma once

// Builds the main window and runs its event loop until the window is closed
// or Exit is chosen; New Game answered Yes builds the window afresh with the
// same players, by looping, so any number of new games costs no stack.
void runMainWindow();

// The pause after the computer's turn for a delay setting: negative values
// pause not at all, larger ones than the options dialog offers are capped.
int computerPause(int delay);

#pragma once

// Runs the options dialog until Apply, Cancel or its close box. Apply sets
// the delay, the computer's strength and the sound switch in the game state
// and saves exactly those three keys in settings.ini; the other ways out
// change nothing. Enables the main window again when it closes.
void runOptionsDialog();

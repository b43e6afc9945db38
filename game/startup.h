#pragma once

// Runs the whole program: start-up, the game set-up dialog, the main window's
// event loop and shutdown. Returns the exit code, which is always 0.
int runQuintara();

// Reads settings.ini into the game state (the settings, the language file
// name and the hand-name fallbacks). Never writes.
void readSettings();

// Releases every toolkit resource and closes the current preference file
// with its write-back.
void shutdownQuintara();

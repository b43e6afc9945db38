#pragma once

#include <QString>

// Hands quintara.chm to the desktop's opener and returns at once.
void showHelp();

// Shows the about box (without an owner: it disables nothing) until closed.
void showAbout();

// The about box's three lines: name, version, what the game is.
QString aboutText();

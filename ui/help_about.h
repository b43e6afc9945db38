#pragma once

#include <QString>

// Hands quintara.chm to the desktop's opener and returns at once. Should no
// application take it, the help pages help/index.html go to the opener (a web
// browser), and should that fail too, a box names the viewer to install.
void showHelp();

// Shows the about box (without an owner: it disables nothing) until closed.
void showAbout();

// The about box's three lines: name, version, what the game is.
QString aboutText();

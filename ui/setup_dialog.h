#pragma once

#include <QString>

// Asks for the game's mode, the number of players and their names, and
// stores them in the game state. Returns false when the player closed the
// window instead, or the program was asked to end; it then ends without a
// game.
bool runGameSetup();

// A name holds no "#" and no control character, and keeps at least one
// character once spaces are trimmed from both ends.
bool isValidPlayerName(const QString& name);

// The characters that would break a name onto other lines or cells: C0
// controls (U+0000 to U+001F), DEL, and the line and paragraph separators.
bool isControlCharacter(QChar c);

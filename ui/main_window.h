#pragma once

// Builds the main window with its menus, score sheet, dice, buttons and
// labels in their initial states, and loads the roll sound.
void buildMainWindow();

// Switches the interface to entry `itemId` - 10 of the language files while
// the game goes on, and remembers the choice in settings.ini.
void switchLanguage(int itemId);

// Frees what the main window loaded and closes it, for a new game.
void closeMainWindow();

// Has the fonts of the main window made ready at the first idle moment after
// the next window is painted, so that the windows after it show sooner.
void prepareMainWindowFonts();

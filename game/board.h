#pragma once

#include "rules/rules.h"

#include <QString>

// The dice and the score sheet as the rules see them: die buttons 1 to 5 and
// the cells of the main window's sheet. These wrappers read and write the
// controls and leave the reckoning to the pure rules.

// The five die texts joined, die 1 first.
QString readHand();
// Hand code of the dice as they stand now.
HandCode classifyHand();
// Gives every die that is not held a random face, dice 1 to 5 in turn.
void rollDice();
// Releases every held die and blanks every face.
void clearDice();

// A cell is free while it has no background colour of its own.
bool cellIsFree(int row, int column);
// The first free row of the column, or -1 when every row is taken.
int firstFreeRow(int column);
// The cell's text read as an integer; empty reads as 0.
int cellValue(int row, int column);
// Writes the value as decimal text and gives the cell the filled colour.
void enterScore(int row, int column, int value);
// Gives the filled colour to every category cell of the column with text.
void markFilledCells(int column);
// Writes "3" into the bonus row once the face rows reach 15.
void applyBonus(int column);
// Writes the sum of rows 0 to 13 into the total row.
void updateTotal(int column);

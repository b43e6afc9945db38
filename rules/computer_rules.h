#pragma once

#include "rules/rules.h"

#include <QString>
#include <array>
#include <functional>
#include <vector>

// Variants 0..4 of each kExampleHands row are filled; variant 5 is never drawn.
inline constexpr int kFilledExampleVariants = 5;

// One step of a preference chain: the hand row offered and the value it receives.
struct ChainLink {
    int row;
    int value;
    bool operator==(const ChainLink&) const = default;
};

// Writes value into row when that cell of the computer's column is free and
// reports whether it did; an occupied cell stays untouched.
using TryWrite = std::function<bool(int row, int value)>;

// Stronger mode's improvement of a hand code, given three draws each in 0..5.
// A code outside 0..7 comes back unchanged.
HandCode boostHandCode(HandCode code, int r0, int r1, int r2);

// boostHandCode with r0, r1, r2 drawn in that order by dice::random(5); always three draws.
HandCode boostHandCode(HandCode code);

// kExampleHands[code][dice::random(4)]: one draw, also for code 0 (whose
// entries are empty); empty for a code outside 0..7.
QString exampleHand(HandCode code);

// The five die texts showing an example hand: "KK10KK" -> K, K, 10, K, K.
// Dice beyond the example's length stay blank, so "" gives five blank dice.
std::array<QString, kDiceCount> exampleHandFaces(const QString& example);

// Rows 13 down to 7 that code satisfies, each with its points; empty for code 0.
std::vector<ChainLink> preferenceChain(HandCode code);

// Category rows in the order a scratch offers them: 13 down to 7, then 5 down to 0.
std::vector<int> scratchOrder();

// Offers the face rows of the faces present, most frequent first, ties to the
// higher face, each with its count; true at the first write that succeeds.
bool chooseFaceRow(const FaceCounts& counts, const TryWrite& tryWrite);

// Enters a hand of code 1..7 into exactly one free row: the preference chain,
// then the face choice, then a scratch with 0. False for code 0 (the caller
// rolls again) or when no row takes a value.
bool placeHand(HandCode code, const QString& hand, const TryWrite& tryWrite);

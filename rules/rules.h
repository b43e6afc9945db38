#pragma once

#include <QString>
#include <array>
#include <initializer_list>

// Faces in face-table order: index 0 is the ace, index 5 the nine.
inline constexpr std::array<const char*, 6> kFaceTexts = {"A", "K", "Q", "J", "10", "9"};
// Number of faces of a die.
inline constexpr int kFaces = static_cast<int>(kFaceTexts.size());

// The five-of-a-kind hand strings, one per face in face-table order.
inline constexpr std::array<const char*, kFaces> kFiveOfAKinds = {"AAAAA", "KKKKK",      "QQQQQ",
                                                                  "JJJJJ", "1010101010", "99999"};

// Hand codes.
enum HandCode : int {
    HandNothing = 0,
    HandFiveOfAKind = 1,
    HandFourOfAKind = 2,
    HandFullHouse = 3,
    HandStraight = 4,
    HandTrips = 5,
    HandTwoPair = 6,
    HandPair = 7,
};
inline constexpr int kHandCodeCount = HandPair + 1;

// Example hands by hand code (rows) and variant (columns). Row 0 and column 5
// are empty; every other entry is a hand of exactly its row's code.
inline constexpr int kExampleVariants = 6;
inline constexpr std::array<std::array<const char*, kExampleVariants>, kHandCodeCount>
    kExampleHands = {{
        {"", "", "", "", "", ""},
        {"99999", "AAAAA", "KKKKK", "QQQQQ", "JJJJJ", ""},
        {"JQJJJ", "AAAJA", "KK10KK", "9QQQQ", "10101010A", ""},
        {"A101010A", "QJJQQ", "9A9AA", "K10KK10", "J99JJ", ""},
        {"JQAK10", "QJK109", "AJKQ10", "9K10QJ", "9Q10JK", ""},
        {"KJJAJ", "9A9K9", "J10Q1010", "QQQAK", "9KKAK", ""},
        {"JK10J10", "JQJAQ", "QQKK10", "910A9A", "1010QQK", ""},
        {"A10QAJ", "KK10QA", "K10QQJ", "9J10JQ", "Q10JKK", ""},
    }};

// Colours of the score sheet, 0xBBGGRR: a cell has the filled colour once a
// score is entered in it; the bonus and total rows have the highlight colour.
inline constexpr int kFilledColour = 0x3366FF;
inline constexpr int kHighlightColour = 0xFFFF66;

enum class RowKind { Face, Bonus, Hand, Total };

// One row of the score sheet.
struct SheetRow {
    const char* key;   // language-file key of its label
    const char* label; // built-in English label
    RowKind kind;
    int face;             // face-table index for face rows, -1 otherwise
    int points;           // points a satisfied hand row awards, 0 otherwise
    unsigned satisfiedBy; // bit c set when hand code c satisfies a hand row
};

inline constexpr int kSheetRows = 15;
inline constexpr int kBonusRow = 6;
inline constexpr int kTotalRow = 14;
inline constexpr int kBonusThreshold = 15;
inline constexpr int kBonusPoints = 3;

constexpr unsigned codes(std::initializer_list<int> list) {
    unsigned bits = 0;
    for (int c : list)
        bits |= 1u << c;
    return bits;
}

inline constexpr std::array<SheetRow, kSheetRows> kSheetRowTable = {{
    {"Nines", "Nines", RowKind::Face, 5, 0, 0},
    {"Tens", "Tens", RowKind::Face, 4, 0, 0},
    {"Jacks", "Jacks", RowKind::Face, 3, 0, 0},
    {"Queens", "Queens", RowKind::Face, 2, 0, 0},
    {"Kings", "Kings", RowKind::Face, 1, 0, 0},
    {"Aces", "Aces", RowKind::Face, 0, 0, 0},
    {"Bonus", "15+ BONUS (3)", RowKind::Bonus, -1, 0, 0},
    {"Pair", "Pair (1)", RowKind::Hand, -1, 1, codes({1, 2, 3, 5, 6, 7})},
    {"TwoPair", "Two Pair (2)", RowKind::Hand, -1, 2, codes({1, 2, 3, 5, 6})},
    {"Trips", "Trips (3)", RowKind::Hand, -1, 3, codes({1, 2, 3, 5})},
    {"Straight", "Straight (4)", RowKind::Hand, -1, 4, codes({4})},
    {"FH", "Full House (4)", RowKind::Hand, -1, 4, codes({3})},
    {"4K", "4 of a Kind (4)", RowKind::Hand, -1, 4, codes({1, 2})},
    {"5K", "5 of a Kind (5)", RowKind::Hand, -1, 5, codes({1})},
    {"Total", "Total", RowKind::Total, -1, 0, 0},
}};

// Score-sheet row of the face category for face-table index 0..5.
constexpr int faceRow(int face) {
    return 5 - face;
}

// Face-table indices, named where a rule speaks of a particular face.
enum Face : int {
    FaceAce = 0,
    FaceKing = 1,
    FaceQueen = 2,
    FaceJack = 3,
    FaceTen = 4,
    FaceNine = 5,
};

inline constexpr int kDiceCount = 5;

// True for the hand codes 0..7.
constexpr bool isHandCode(int code) {
    return code >= HandNothing && code <= HandPair;
}

// Number of dice showing each face, in face-table order.
using FaceCounts = std::array<int, kFaces>;

// Dice in the hand showing face 0..5: non-overlapping occurrences of its text.
// Blank dice add nothing to a hand string, so they count for no face.
int faceCount(const QString& hand, int face);

// faceCount of every face, in face-table order.
FaceCounts faceCounts(const QString& hand);

// Hand code of a hand string; the first matching test wins.
HandCode classifyHand(const QString& hand);

// True when row is a hand row whose set contains code; false for any other row or code.
bool rowSatisfiedBy(int row, HandCode code);

// Value the hand gives in a category row: the face count for rows 0..5, the
// row's points or 0 for rows 7..13, 0 for the bonus, the total and rows out of range.
int categoryValue(int row, HandCode code, const QString& hand);

// One face drawn uniformly from the six (consumes one draw of dice::random(5)).
QString randomFace();

// Values of the six face rows 0..5 of a column; empty cells count 0.
using FaceRowValues = std::array<int, kBonusRow>;
// Values of rows 0..13 of a column, bonus included; empty cells count 0.
using ColumnValues = std::array<int, kTotalRow>;

// True when the face rows sum to kBonusThreshold or more: the bonus row then shows kBonusPoints.
bool bonusEarned(const FaceRowValues& faceRows);

// The total row of a column: the sum of rows 0..13.
int columnTotal(const ColumnValues& rows);

#include "rules/rules.h"

#include "rules/random.h"

#include <numeric>

namespace {

// First face in face-table order whose count is exactly n and which is not
// skip; -1 when there is none.
int faceWithCount(const FaceCounts& counts, int n, int skip = -1) {
    for (int face = 0; face < kFaces; ++face)
        if (face != skip && counts[face] == n)
            return face;
    return -1;
}

bool isFiveOfAKind(const QString& hand) {
    for (const char* five : kFiveOfAKinds)
        if (hand == QLatin1String(five))
            return true;
    return false;
}

// 10, J, Q, K and one of A or 9.
bool isStraight(const FaceCounts& counts) {
    const bool middle = counts[FaceKing] >= 1 && counts[FaceQueen] >= 1 && counts[FaceJack] >= 1 &&
                        counts[FaceTen] >= 1;
    return middle && (counts[FaceAce] >= 1 || counts[FaceNine] >= 1);
}

bool isRow(int row) {
    return row >= 0 && row < kSheetRows;
}

} // namespace

int faceCount(const QString& hand, int face) {
    if (face < 0 || face >= kFaces)
        return 0;
    const QLatin1String text(kFaceTexts[face]);
    int count = 0;
    for (qsizetype at = hand.indexOf(text); at >= 0; at = hand.indexOf(text, at + text.size()))
        ++count;
    return count;
}

FaceCounts faceCounts(const QString& hand) {
    FaceCounts counts{};
    for (int face = 0; face < kFaces; ++face)
        counts[face] = faceCount(hand, face);
    return counts;
}

HandCode classifyHand(const QString& hand) {
    if (isFiveOfAKind(hand))
        return HandFiveOfAKind;
    const FaceCounts counts = faceCounts(hand);
    if (faceWithCount(counts, 4) >= 0)
        return HandFourOfAKind;
    if (const int three = faceWithCount(counts, 3); three >= 0)
        return faceWithCount(counts, 2, three) >= 0 ? HandFullHouse : HandTrips;
    if (isStraight(counts))
        return HandStraight;
    if (const int pair = faceWithCount(counts, 2); pair >= 0)
        return faceWithCount(counts, 2, pair) >= 0 ? HandTwoPair : HandPair;
    return HandNothing;
}

bool rowSatisfiedBy(int row, HandCode code) {
    if (!isRow(row) || !isHandCode(code))
        return false;
    const SheetRow& sheetRow = kSheetRowTable[row];
    return sheetRow.kind == RowKind::Hand && (sheetRow.satisfiedBy & (1u << code)) != 0;
}

int categoryValue(int row, HandCode code, const QString& hand) {
    if (!isRow(row))
        return 0;
    const SheetRow& sheetRow = kSheetRowTable[row];
    switch (sheetRow.kind) {
    case RowKind::Face:
        return faceCount(hand, sheetRow.face);
    case RowKind::Hand:
        return rowSatisfiedBy(row, code) ? sheetRow.points : 0;
    case RowKind::Bonus:
    case RowKind::Total:
        break;
    }
    return 0;
}

QString randomFace() {
    return QString::fromLatin1(kFaceTexts[dice::random(kFaces - 1)]);
}

bool bonusEarned(const FaceRowValues& faceRows) {
    return std::accumulate(faceRows.begin(), faceRows.end(), 0) >= kBonusThreshold;
}

int columnTotal(const ColumnValues& rows) {
    return std::accumulate(rows.begin(), rows.end(), 0);
}

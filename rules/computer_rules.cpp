#include "rules/computer_rules.h"

#include "rules/random.h"

namespace {

constexpr QChar kTenMark = u'T';

// Each draw stands for one die re-rolled in the hope of one wanted face
// (draw 0, chance 1/6), so the improvement is as likely as rolling it:
// a pair becomes trips when any of the three other dice matches it,
// trips become five or four of a kind when both or one of the two other dice
// match, and failing that a full house when the odd die pairs up (r2).
bool hit(int draw) {
    return draw == 0;
}

// Appends the rows of one kind, from the bottom of the sheet up.
void appendRowsUpwards(std::vector<int>& rows, RowKind kind) {
    for (int row = kSheetRows - 1; row >= 0; --row)
        if (kSheetRowTable[row].kind == kind)
            rows.push_back(row);
}

} // namespace

HandCode boostHandCode(HandCode code, int r0, int r1, int r2) {
    switch (code) {
    case HandNothing:
        return hit(r0) ? HandStraight : HandNothing;
    case HandFourOfAKind:
        return hit(r0) ? HandFiveOfAKind : HandFourOfAKind;
    case HandTrips:
        if (hit(r0) && hit(r1))
            return HandFiveOfAKind;
        if (hit(r0) || hit(r1))
            return HandFourOfAKind;
        return hit(r2) ? HandFullHouse : HandTrips;
    case HandTwoPair:
        return hit(r0) ? HandFullHouse : HandTwoPair;
    case HandPair:
        return hit(r0) || hit(r1) || hit(r2) ? HandTrips : HandPair;
    default:
        // Five of a kind cannot improve; a full house or a straight is kept
        // rather than traded for a chance at something else.
        return code;
    }
}

HandCode boostHandCode(HandCode code) {
    // All three draws are taken whatever the code, so the generator advances
    // the same way for every hand.
    const int r0 = dice::random(kFaces - 1);
    const int r1 = dice::random(kFaces - 1);
    const int r2 = dice::random(kFaces - 1);
    return boostHandCode(code, r0, r1, r2);
}

QString exampleHand(HandCode code) {
    const int variant = dice::random(kFilledExampleVariants - 1);
    if (!isHandCode(code))
        return {};
    return QString::fromLatin1(kExampleHands[code][variant]);
}

std::array<QString, kDiceCount> exampleHandFaces(const QString& example) {
    QString marked = example;
    marked.replace(QLatin1String(kFaceTexts[FaceTen]), QString(kTenMark));
    std::array<QString, kDiceCount> faces;
    for (int die = 0; die < kDiceCount && die < marked.size(); ++die) {
        const QChar mark = marked.at(die);
        faces[die] = mark == kTenMark ? QString::fromLatin1(kFaceTexts[FaceTen]) : QString(mark);
    }
    return faces;
}

std::vector<ChainLink> preferenceChain(HandCode code) {
    // Hand rows lie lower on the sheet the rarer and more valuable the hand,
    // so walking up from the last hand row takes the most points first: a
    // satisfied hand category is a chance that may not come again.
    std::vector<ChainLink> chain;
    for (int row = kSheetRows - 1; row >= 0; --row)
        if (rowSatisfiedBy(row, code))
            chain.push_back({row, kSheetRowTable[row].points});
    return chain;
}

std::vector<int> scratchOrder() {
    // A scratch gives up the rarest hand rows first, where a later roll is
    // least likely to score. Face rows come last: each still earns its count
    // on a later turn and feeds the bonus, so a 0 there costs the most.
    std::vector<int> order;
    appendRowsUpwards(order, RowKind::Hand);
    appendRowsUpwards(order, RowKind::Face);
    return order;
}

bool chooseFaceRow(const FaceCounts& counts, const TryWrite& tryWrite) {
    // The most frequent face gives a face row its highest value and brings the
    // bonus closer. Faces absent from the hand are never offered: a 0 in a
    // face row is left to the scratch, after every hand row is gone.
    for (int n = kDiceCount; n >= 1; --n)
        for (int face = 0; face < kFaces; ++face)
            if (counts[face] == n && tryWrite(faceRow(face), n))
                return true;
    return false;
}

bool placeHand(HandCode code, const QString& hand, const TryWrite& tryWrite) {
    if (code == HandNothing || !isHandCode(code))
        return false; // nothing is never entered: the caller rolls again
    for (const ChainLink& link : preferenceChain(code))
        if (tryWrite(link.row, link.value))
            return true;
    if (chooseFaceRow(faceCounts(hand), tryWrite))
        return true;
    for (int row : scratchOrder())
        if (tryWrite(row, 0))
            return true;
    return false;
}

#include "rules/random.h"
#include "rules/rules.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace {

constexpr int kBlank = -1;

QString face(int index) {
    return index == kBlank ? QString() : QString::fromLatin1(kFaceTexts[index]);
}

// The hand string of five dice given by face index, kBlank for a blank die.
QString handOf(const std::array<int, kDiceCount>& dice) {
    QString hand;
    for (int die : dice)
        hand += face(die);
    return hand;
}

// Classifies by the shape of the sorted face counts, a different route from
// the ordered tests of classifyHand. Five different faces are five of the six,
// and they form a straight exactly when the missing face is the ace or the nine.
int classifyByShape(const std::array<int, kDiceCount>& dice) {
    FaceCounts counts{};
    for (int die : dice)
        if (die != kBlank)
            ++counts[die];
    std::vector<int> shape;
    for (int n : counts)
        if (n > 0)
            shape.push_back(n);
    std::sort(shape.rbegin(), shape.rend());
    if (shape.empty())
        return HandNothing;
    const int second = shape.size() > 1 ? shape[1] : 0;
    switch (shape[0]) {
    case 5:
        return HandFiveOfAKind;
    case 4:
        return HandFourOfAKind;
    case 3:
        return second == 2 ? HandFullHouse : HandTrips;
    case 2:
        return second == 2 ? HandTwoPair : HandPair;
    default:
        if (shape.size() == 5 && (counts[FaceAce] == 0 || counts[FaceNine] == 0))
            return HandStraight;
        return HandNothing;
    }
}

// Calls visit for every roll of five dice whose faces run over 'first'..5.
void forEachRoll(int first, const std::function<void(const std::array<int, kDiceCount>&)>& visit) {
    std::array<int, kDiceCount> dice{};
    std::function<void(int)> fill = [&](int die) {
        if (die == kDiceCount) {
            visit(dice);
            return;
        }
        for (int f = first; f < 6; ++f) {
            dice[die] = f;
            fill(die + 1);
        }
    };
    fill(0);
}

} // namespace

TEST(ClassifyHand, GivesTheCodeOfEachHand) {
    const int A = FaceAce, K = FaceKing, Q = FaceQueen, J = FaceJack, T = FaceTen, N = FaceNine,
              _ = kBlank;
    const struct {
        std::array<int, kDiceCount> dice;
        int code;
    } cases[] = {
        {{T, T, T, T, T}, HandFiveOfAKind}, {{A, A, A, A, A}, HandFiveOfAKind},
        {{N, N, N, N, N}, HandFiveOfAKind}, {{A, A, A, A, N}, HandFourOfAKind},
        {{T, T, A, T, T}, HandFourOfAKind}, {{A, A, A, A, _}, HandFourOfAKind},
        {{A, A, A, K, K}, HandFullHouse},   {{A, A, K, K, K}, HandFullHouse},
        {{K, T, K, K, T}, HandFullHouse},   {{N, T, J, Q, K}, HandStraight},
        {{Q, K, N, J, T}, HandStraight},    {{T, J, Q, K, A}, HandStraight},
        {{A, K, Q, J, T}, HandStraight},    {{J, J, J, A, K}, HandTrips},
        {{J, T, Q, T, T}, HandTrips},       {{A, A, A, _, _}, HandTrips},
        {{J, K, T, J, T}, HandTwoPair},     {{A, A, K, K, _}, HandTwoPair},
        {{K, Q, J, T, K}, HandPair},        {{A, T, Q, A, J}, HandPair},
        {{A, A, _, _, _}, HandPair},        {{N, J, Q, K, A}, HandNothing},
        {{K, Q, J, T, _}, HandNothing},     {{_, _, _, _, _}, HandNothing},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyHand(handOf(c.dice)), c.code) << qPrintable(handOf(c.dice));
    EXPECT_EQ(classifyHand(QStringLiteral("1010101010")), HandFiveOfAKind);
}

TEST(ClassifyHand, AgreesWithTheCountShapeOnEveryRollAndMatchesCombinatorics) {
    std::map<int, int> rolls;
    forEachRoll(0, [&](const std::array<int, kDiceCount>& dice) {
        const int code = classifyHand(handOf(dice));
        ASSERT_EQ(code, classifyByShape(dice)) << qPrintable(handOf(dice));
        ++rolls[code];
    });
    const int arrangements = 5 * 4 * 3 * 2; // five different faces in order
    EXPECT_EQ(rolls[HandFiveOfAKind], 6);
    EXPECT_EQ(rolls[HandFourOfAKind], 6 * 5 * 5);     // face, odd face, odd die's place
    EXPECT_EQ(rolls[HandFullHouse], 6 * 5 * 10);      // trips face, pair face, trips places
    EXPECT_EQ(rolls[HandStraight], 2 * arrangements); // without the ace or without the nine
    EXPECT_EQ(rolls[HandTrips], 6 * 10 * 5 * 4);      // face, places, two other faces in order
    EXPECT_EQ(rolls[HandTwoPair], 15 * 4 * 30);       // pair faces, odd face, 5!/(2!2!)
    EXPECT_EQ(rolls[HandPair], 6 * 10 * 5 * 4 * 3);   // face, places, three others in order
    EXPECT_EQ(rolls[HandNothing], 4 * arrangements);  // the other four sets of five faces
}

TEST(ClassifyHand, AgreesWithTheCountShapeWhenDiceAreBlank) {
    forEachRoll(kBlank, [](const std::array<int, kDiceCount>& dice) {
        ASSERT_EQ(classifyHand(handOf(dice)), classifyByShape(dice)) << qPrintable(handOf(dice));
    });
}

TEST(FaceCount, CountsTwoCharacterTensAndIgnoresBlanks) {
    EXPECT_EQ(faceCounts(QStringLiteral("J10Q1010")), (FaceCounts{0, 0, 1, 1, 3, 0}));
    EXPECT_EQ(faceCounts(QStringLiteral("1010101010")), (FaceCounts{0, 0, 0, 0, 5, 0}));
    EXPECT_EQ(faceCounts(QStringLiteral("9A9K9")), (FaceCounts{1, 1, 0, 0, 0, 3}));
    EXPECT_EQ(faceCounts(QString()), FaceCounts{});
    EXPECT_EQ(faceCount(QStringLiteral("AAAAA"), 6), 0);
    EXPECT_EQ(faceCount(QStringLiteral("AAAAA"), -1), 0);
}

TEST(CategoryValue, HandRowsAwardTheirPointsExactlyForTheirCodes) {
    const struct {
        int row;
        int points;
        std::vector<int> codes;
    } rows[] = {
        {7, 1, {1, 2, 3, 5, 6, 7}},
        {8, 2, {1, 2, 3, 5, 6}},
        {9, 3, {1, 2, 3, 5}},
        {10, 4, {4}},
        {11, 4, {3}},
        {12, 4, {1, 2}},
        {13, 5, {1}},
    };
    for (const auto& r : rows)
        for (int code = 0; code < 8; ++code) {
            const bool inSet = std::count(r.codes.begin(), r.codes.end(), code) > 0;
            EXPECT_EQ(categoryValue(r.row, HandCode(code), QString()), inSet ? r.points : 0)
                << "row " << r.row << " code " << code;
        }
}

TEST(CategoryValue, FaceRowsCountTheirFaceAndOtherRowsGiveNothing) {
    const QString tens = QStringLiteral("1010101010");
    EXPECT_EQ(categoryValue(1, classifyHand(tens), tens), 5);
    EXPECT_EQ(categoryValue(13, classifyHand(tens), tens), 5);
    EXPECT_EQ(categoryValue(4, HandTrips, QStringLiteral("KKKAJ")), 3);
    EXPECT_EQ(categoryValue(0, HandTrips, QStringLiteral("999AJ")), 3);
    EXPECT_EQ(categoryValue(4, HandTrips, QStringLiteral("999AJ")), 0);
    EXPECT_EQ(categoryValue(5, HandPair, QStringLiteral("AAKQJ")), 2);
    for (int row : {kBonusRow, kTotalRow, -1, kSheetRows})
        EXPECT_EQ(categoryValue(row, HandFiveOfAKind, QStringLiteral("AAAAA")), 0) << row;
    for (int code : {-1, 8, 40})
        EXPECT_EQ(categoryValue(7, HandCode(code), QStringLiteral("AAKQJ")), 0) << code;
}

TEST(SheetArithmetic, BonusFromFifteenAndTotalOfAllRowsAbove) {
    EXPECT_TRUE(bonusEarned({3, 3, 3, 3, 3, 0}));
    EXPECT_FALSE(bonusEarned({3, 3, 3, 3, 2, 0}));
    EXPECT_TRUE(bonusEarned({0, 0, 0, 5, 5, 5}));
    EXPECT_EQ(columnTotal({3, 3, 3, 3, 3, 0, kBonusPoints, 1, 0, 0, 0, 0, 0, 0}), 19);
    EXPECT_EQ(columnTotal({5, 5, 5, 5, 5, 5, kBonusPoints, 1, 2, 3, 4, 4, 4, 5}), 56);
}

TEST(Random, StaysInRangeAndHitsEveryValueEvenly) {
    dice::seedRandom(7);
    std::array<int, 6> seen{};
    const int draws = 60000;
    for (int i = 0; i < draws; ++i) {
        const int value = dice::random(5);
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 5);
        ++seen[value];
    }
    for (int n : seen)
        EXPECT_NEAR(n, draws / 6, 500);
    for (int i = 0; i < 1000; ++i)
        ASSERT_LE(dice::random(4), 4);
    EXPECT_EQ(dice::random(0), 0);
    EXPECT_EQ(dice::random(-3), 0);
}

TEST(Random, ReplaysFromASeedAndScriptsWithoutAdvancingTheGenerator) {
    const auto drawSix = [] {
        std::vector<int> values;
        for (int i = 0; i < 6; ++i)
            values.push_back(dice::random(1000));
        return values;
    };
    dice::seedRandom(99);
    const std::vector<int> first = drawSix();
    dice::seedRandom(99);
    EXPECT_EQ(drawSix(), first);
    dice::seedRandom(100);
    EXPECT_NE(drawSix(), first);

    dice::seedRandom(99);
    dice::scriptRandom({4, 9, -2});
    EXPECT_EQ(dice::random(5), 4);
    EXPECT_EQ(dice::random(5), 5); // a scripted value beyond the bound is clamped
    EXPECT_EQ(dice::random(5), 0);
    EXPECT_EQ(dice::random(1000), first[0]);

    dice::scriptRandom({1, 2});
    dice::seedRandom(99); // a reseed drops what is left of a script
    EXPECT_EQ(drawSix(), first);
}

TEST(RandomFace, MapsDrawsToTheFaceTable) {
    dice::scriptRandom({0, 1, 2, 3, 4, 5});
    QStringList faces;
    for (int i = 0; i < 6; ++i)
        faces << randomFace();
    EXPECT_EQ(faces.join(u','), QStringLiteral("A,K,Q,J,10,9"));
}

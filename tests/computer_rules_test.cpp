#include "rules/computer_rules.h"
#include "rules/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <ostream>
#include <set>

void PrintTo(const ChainLink& link, std::ostream* out) {
    *out << "row " << link.row << ": " << link.value;
}

namespace {

constexpr int kSentinel = 777; // scripted after the expected draws, read back with bound 1000

// The computer's column: records every offer and writes into free cells.
struct FakeColumn {
    std::array<bool, kSheetRows> filled{};
    std::vector<ChainLink> offers;
    std::vector<ChainLink> writes;

    explicit FakeColumn(std::initializer_list<int> filledRows = {}) {
        filled[kBonusRow] = filled[kTotalRow] = true;
        for (int row : filledRows)
            filled[row] = true;
    }
    TryWrite writer() {
        return [this](int row, int value) {
            offers.push_back({row, value});
            if (filled[row])
                return false;
            filled[row] = true;
            writes.push_back({row, value});
            return true;
        };
    }
};

QString example(int code, int variant) {
    return QString::fromLatin1(kExampleHands[code][variant]);
}

// The hand codes from `first` to the pair, in code order.
std::vector<HandCode> codesFrom(HandCode first) {
    std::vector<HandCode> codes;
    for (int code = first; code <= HandPair; ++code)
        codes.push_back(HandCode(code));
    return codes;
}

} // namespace

TEST(BoostHandCode, EveryTripleOfDrawsGivesTheTabledOdds) {
    // Out of the 216 equally likely triples (r0, r1, r2).
    const std::map<HandCode, std::map<HandCode, int>> outcomes = {
        {HandNothing, {{HandStraight, 36}, {HandNothing, 180}}},
        {HandFiveOfAKind, {{HandFiveOfAKind, 216}}},
        {HandFourOfAKind, {{HandFiveOfAKind, 36}, {HandFourOfAKind, 180}}},
        {HandFullHouse, {{HandFullHouse, 216}}},
        {HandStraight, {{HandStraight, 216}}},
        {HandTrips,
         {{HandFiveOfAKind, 6}, {HandFourOfAKind, 60}, {HandFullHouse, 25}, {HandTrips, 125}}},
        {HandTwoPair, {{HandFullHouse, 36}, {HandTwoPair, 180}}},
        {HandPair, {{HandTrips, 91}, {HandPair, 125}}},
    };
    for (const auto& [code, expected] : outcomes) {
        std::map<HandCode, int> seen;
        for (int r0 = 0; r0 < 6; ++r0)
            for (int r1 = 0; r1 < 6; ++r1)
                for (int r2 = 0; r2 < 6; ++r2)
                    ++seen[boostHandCode(code, r0, r1, r2)];
        EXPECT_EQ(seen, expected) << "code " << code;
    }
}

TEST(BoostHandCode, EachDrawPlaysItsOwnPart) {
    const struct {
        HandCode code;
        int r0, r1, r2;
        HandCode result;
    } cases[] = {
        {HandNothing, 0, 1, 1, HandStraight},
        {HandNothing, 1, 0, 0, HandNothing},
        {HandFourOfAKind, 1, 0, 0, HandFourOfAKind},
        {HandTwoPair, 1, 0, 0, HandTwoPair},
        {HandTrips, 0, 0, 3, HandFiveOfAKind},
        {HandTrips, 0, 2, 0, HandFourOfAKind},
        {HandTrips, 2, 0, 0, HandFourOfAKind},
        {HandTrips, 1, 1, 0, HandFullHouse},
        {HandPair, 5, 5, 0, HandTrips},
        {HandPair, 5, 5, 5, HandPair},
        {HandCode(8), 0, 0, 0, HandCode(8)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(boostHandCode(c.code, c.r0, c.r1, c.r2), c.result)
            << c.code << ": " << c.r0 << c.r1 << c.r2;
}

TEST(BoostHandCode, DrawsExactlyThreeTimesInOrderForEveryCode) {
    dice::seedRandom(1);
    for (HandCode code : codesFrom(HandNothing))
        for (int r = 0; r < 216; ++r) {
            const int r0 = r / 36, r1 = r / 6 % 6, r2 = r % 6;
            dice::scriptRandom({r0, r1, r2, kSentinel});
            ASSERT_EQ(boostHandCode(code), boostHandCode(code, r0, r1, r2))
                << code << ": " << r0 << r1 << r2;
            ASSERT_EQ(dice::random(1000), kSentinel) << code;
        }
}

TEST(BoostHandCode, SeededRunsMatchTheTabledFrequencies) {
    const int calls = 200000;
    const struct {
        HandCode code;
        HandCode result;
        double probability;
    } cases[] = {
        {HandNothing, HandStraight, 1.0 / 6},   {HandFourOfAKind, HandFiveOfAKind, 1.0 / 6},
        {HandTwoPair, HandFullHouse, 1.0 / 6},  {HandPair, HandTrips, 91.0 / 216},
        {HandTrips, HandFiveOfAKind, 1.0 / 36}, {HandTrips, HandFourOfAKind, 10.0 / 36},
        {HandTrips, HandFullHouse, 25.0 / 216}, {HandTrips, HandTrips, 125.0 / 216},
        {HandFullHouse, HandFullHouse, 1.0},
    };
    for (const auto& c : cases) {
        dice::seedRandom(20240601);
        int hits = 0;
        for (int i = 0; i < calls; ++i)
            hits += boostHandCode(c.code) == c.result ? 1 : 0;
        // Five standard deviations of a binomial share.
        const double tolerance = 5 * std::sqrt(c.probability * (1 - c.probability) / calls);
        EXPECT_NEAR(double(hits) / calls, c.probability, tolerance) << c.code << " -> " << c.result;
    }
}

TEST(ExampleHand, DrawsOneVariantOfItsCode) {
    for (HandCode code : codesFrom(HandFiveOfAKind))
        for (int variant = 0; variant < kFilledExampleVariants; ++variant) {
            dice::scriptRandom({variant});
            EXPECT_EQ(exampleHand(code), example(code, variant));
        }
    dice::scriptRandom({3, kSentinel});
    EXPECT_EQ(exampleHand(HandNothing), QString());
    EXPECT_EQ(dice::random(1000), kSentinel);

    dice::seedRandom(5);
    std::set<QString> shown;
    for (int i = 0; i < 1000; ++i)
        shown.insert(exampleHand(HandFourOfAKind));
    EXPECT_EQ(shown.size(), std::size_t(kFilledExampleVariants));
    EXPECT_EQ(shown.count(QString()), 0u);
}

TEST(ExampleHandFaces, EveryExampleShowsFiveFacesOfItsOwnCode) {
    for (HandCode code : codesFrom(HandFiveOfAKind))
        for (int variant = 0; variant < kFilledExampleVariants; ++variant) {
            const auto faces = exampleHandFaces(example(code, variant));
            QString joined;
            for (const QString& f : faces) {
                EXPECT_TRUE(std::find(kFaceTexts.begin(), kFaceTexts.end(), f) != kFaceTexts.end())
                    << qPrintable(f);
                joined += f;
            }
            EXPECT_EQ(joined, example(code, variant));
            EXPECT_EQ(classifyHand(joined), code) << qPrintable(joined);
        }
    using Faces = std::array<QString, kDiceCount>;
    EXPECT_EQ(exampleHandFaces(QStringLiteral("KK10KK")), (Faces{"K", "K", "10", "K", "K"}));
    EXPECT_EQ(exampleHandFaces(QStringLiteral("10101010A")), (Faces{"10", "10", "10", "10", "A"}));
    EXPECT_EQ(exampleHandFaces(QString()), Faces{});
}

TEST(PreferenceChain, TakesTheSatisfiedHandRowsFromMostPoints) {
    const std::map<HandCode, std::vector<ChainLink>> chains = {
        {HandNothing, {}},
        {HandFiveOfAKind, {{13, 5}, {12, 4}, {9, 3}, {8, 2}, {7, 1}}},
        {HandFourOfAKind, {{12, 4}, {9, 3}, {8, 2}, {7, 1}}},
        {HandFullHouse, {{11, 4}, {9, 3}, {8, 2}, {7, 1}}},
        {HandStraight, {{10, 4}}},
        {HandTrips, {{9, 3}, {8, 2}, {7, 1}}},
        {HandTwoPair, {{8, 2}, {7, 1}}},
        {HandPair, {{7, 1}}},
    };
    for (const auto& [code, chain] : chains)
        EXPECT_EQ(preferenceChain(code), chain) << "code " << code;
    EXPECT_EQ(scratchOrder(), (std::vector<int>{13, 12, 11, 10, 9, 8, 7, 5, 4, 3, 2, 1, 0}));
}

TEST(PlaceHand, FollowsChainThenFaceChoiceThenScratch) {
    const struct {
        const char* name;
        HandCode code;
        const char* hand;
        std::initializer_list<int> filled;
        ChainLink written;
    } cases[] = {
        {"pair free", HandPair, "AAKQJ", {}, {7, 1}},
        {"aces before kings", HandPair, "AAKQJ", {7}, {5, 2}},
        {"kings", HandPair, "AAKQJ", {7, 5}, {4, 1}},
        {"queens", HandPair, "AAKQJ", {7, 5, 4}, {3, 1}},
        {"jacks", HandPair, "AAKQJ", {7, 5, 4, 3}, {2, 1}},
        {"scratch from the top", HandPair, "AAKQJ", {7, 5, 4, 3, 2}, {13, 0}},
        {"scratch an absent face",
         HandPair,
         "AAKQJ",
         {7, 5, 4, 3, 2, 13, 12, 11, 10, 9, 8},
         {1, 0}},
        {"five of a kind", HandFiveOfAKind, "AAAAA", {13}, {12, 4}},
        {"five of a kind to aces", HandFiveOfAKind, "AAAAA", {13, 12, 9, 8, 7}, {5, 5}},
        {"full house trips face", HandFullHouse, "AAAKK", {11, 9, 8, 7}, {5, 3}},
        {"full house pair face", HandFullHouse, "AAAKK", {11, 9, 8, 7, 5}, {4, 2}},
        {"full house scratch", HandFullHouse, "AAAKK", {11, 9, 8, 7, 5, 4}, {13, 0}},
        {"straight highest face", HandStraight, "910JQK", {10}, {4, 1}},
        {"straight next face", HandStraight, "910JQK", {10, 4}, {3, 1}},
        {"two pair", HandTwoPair, "JK10J10", {}, {8, 2}},
        {"two pair tie to jacks", HandTwoPair, "JK10J10", {8, 7}, {2, 2}},
    };
    for (const auto& c : cases) {
        FakeColumn column(c.filled);
        EXPECT_TRUE(placeHand(c.code, QString::fromLatin1(c.hand), column.writer())) << c.name;
        EXPECT_EQ(column.writes, std::vector<ChainLink>{c.written}) << c.name;
        if (c.code == HandFiveOfAKind) {
            for (const ChainLink& offer : column.offers)
                EXPECT_NE(offer.row, 11) << c.name;
        }
    }
}

TEST(PlaceHand, OffersChainFacesAndScratchInTheirFixedOrder) {
    FakeColumn column({13, 12, 11, 10, 9, 8, 7, 5, 4, 3, 2, 1});
    EXPECT_TRUE(placeHand(HandPair, QStringLiteral("AAKQJ"), column.writer()));
    const std::vector<ChainLink> offers = {
        {7, 1}, {5, 2}, {4, 1}, {3, 1}, {2, 1}, {13, 0}, {12, 0}, {11, 0}, {10, 0},
        {9, 0}, {8, 0}, {7, 0}, {5, 0}, {4, 0}, {3, 0},  {2, 0},  {1, 0},  {0, 0},
    };
    EXPECT_EQ(column.offers, offers);
}

TEST(PlaceHand, NothingIsNeverEntered) {
    FakeColumn column;
    EXPECT_FALSE(placeHand(HandNothing, QStringLiteral("9JQKA"), column.writer()));
    EXPECT_TRUE(column.offers.empty());
}

TEST(PlaceHand, AnySheetTakesExactlyOneValueTheRulesGive) {
    const std::vector<int> categories = scratchOrder();
    for (HandCode code : codesFrom(HandFiveOfAKind))
        for (int variant = 0; variant < kFilledExampleVariants; ++variant) {
            const QString hand = example(code, variant);
            const std::vector<ChainLink> chain = preferenceChain(code);
            for (unsigned mask = 0; mask < (1u << categories.size()); ++mask) {
                FakeColumn column;
                for (std::size_t i = 0; i < categories.size(); ++i)
                    column.filled[categories[i]] = (mask >> i) & 1u;
                const auto before = column.filled;
                const bool placed = placeHand(code, hand, column.writer());
                const bool full = mask + 1 == (1u << categories.size());
                ASSERT_EQ(placed, !full) << mask;
                ASSERT_EQ(column.writes.size(), full ? 0u : 1u) << mask;
                if (full)
                    continue;
                const ChainLink written = column.writes.front();
                ASSERT_FALSE(before[written.row]) << mask;
                ASSERT_EQ(written.value, categoryValue(written.row, code, hand))
                    << qPrintable(hand) << " mask " << mask;
                const auto freeLink = std::find_if(chain.begin(), chain.end(),
                                                   [&](auto l) { return !before[l.row]; });
                if (freeLink != chain.end()) {
                    ASSERT_EQ(written, *freeLink) << qPrintable(hand) << " mask " << mask;
                }
            }
        }
}

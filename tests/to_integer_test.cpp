#include "text/to_integer.h"

#include <gtest/gtest.h>

struct ToIntegerCase {
    const char* text;
    int expected;
};

class ToIntegerTest : public testing::TestWithParam<ToIntegerCase> {};

TEST_P(ToIntegerTest, ReadsTheLeadingNumber) {
    EXPECT_EQ(toInteger(QString::fromUtf8(GetParam().text)), GetParam().expected)
        << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToIntegerTest,
    testing::Values(ToIntegerCase{" 3", 3}, ToIntegerCase{"+3", 3}, ToIntegerCase{"3a", 3},
                    ToIntegerCase{"-3", -3}, ToIntegerCase{"$FF", 255}, ToIntegerCase{"$ff", 255},
                    ToIntegerCase{"%101", 5}, ToIntegerCase{"abc", 0}, ToIntegerCase{"", 0},
                    ToIntegerCase{"\t\t 42 x", 42}, ToIntegerCase{"3 players", 3},
                    ToIntegerCase{"$4", 4}, ToIntegerCase{"%102", 2}, ToIntegerCase{"$G", 0},
                    ToIntegerCase{"- 3", 0}, ToIntegerCase{"+-3", 0}, ToIntegerCase{"-$10", -16},
                    ToIntegerCase{"\n3", 0}, ToIntegerCase{"1000", 1000},
                    ToIntegerCase{"2147483647", 2147483647},
                    ToIntegerCase{"-2147483648", -2147483647 - 1}));

TEST(ToIntegerOverflow, WrapsModulo32Bits) {
    EXPECT_EQ(toInteger(QStringLiteral("2147483648")), -2147483647 - 1);
    EXPECT_EQ(toInteger(QStringLiteral("4294967296")), 0);
    EXPECT_EQ(toInteger(QStringLiteral("4294967299")), 3);
    EXPECT_EQ(toInteger(QStringLiteral("$100000005")), 5);
}

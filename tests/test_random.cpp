#include "base/random.h"

#include <gtest/gtest.h>

TEST(RandomSource, StartsAtStateOneOnEveryThread) {
    randomSeed(1);
    EXPECT_EQ(randomNext(), 41);
    EXPECT_EQ(randomNext(), 18467);
    EXPECT_EQ(randomNext(), 6334);
    EXPECT_EQ(randomNext(), 26500);
    EXPECT_EQ(randomNext(), 19169);
}

TEST(RandomSource, BelowGivesZeroForEmptyRangesWithoutDrawing) {
    randomSeed(1);
    EXPECT_EQ(randomBelow(0), 0);
    EXPECT_EQ(randomBelow(-5), 0);
    EXPECT_EQ(randomState(), 1u);
    EXPECT_EQ(randomBelow(10), 41 % 10);
}

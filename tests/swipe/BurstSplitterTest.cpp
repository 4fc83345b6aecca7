#include "swipe/BurstSplitter.h"

#include <chrono>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {
const BurstSplitter::TimePoint kStart{10s};
}

TEST(BurstSplitter, ABurstEndsOnceTheLineHasBeenQuiet) {
    BurstSplitter splitter(20ms);
    EXPECT_FALSE(splitter.deadline());
    splitter.add(Bytes{';', '1'}, kStart);
    // Bytes a few milliseconds apart belong to the same burst.
    splitter.add(Bytes{'2'}, kStart + 15ms);
    EXPECT_FALSE(splitter.take(kStart + 30ms));
    EXPECT_EQ(splitter.deadline(), kStart + 35ms);
    EXPECT_EQ(splitter.take(kStart + 35ms), (Bytes{';', '1', '2'}));
    EXPECT_TRUE(splitter.empty());
    EXPECT_FALSE(splitter.deadline());

    // The next bytes start the next burst.
    splitter.add(Bytes{'?', 13}, kStart + 100ms);
    EXPECT_FALSE(splitter.take(kStart + 119ms));
    EXPECT_EQ(splitter.take(kStart + 120ms), (Bytes{'?', 13}));

    // A swipe handed in after the last one's quiet time, before anyone took that one: two bursts.
    splitter.add(Bytes{'A'}, kStart + 200ms);
    splitter.add(Bytes{'B'}, kStart + 300ms);
    EXPECT_EQ(splitter.take(kStart + 300ms), (Bytes{'A'}));
    EXPECT_EQ(splitter.take(kStart + 320ms), (Bytes{'B'}));
}

TEST(BurstSplitter, ALineThatNeverGoesQuietStillShowsInBoundedBursts) {
    BurstSplitter splitter(20ms);
    const Bytes piece(1000, 'x');
    for (int i = 0; i < 9; ++i) {
        splitter.add(piece, kStart + std::chrono::milliseconds(i));
    }
    const auto first = splitter.take(kStart + 9ms);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), BurstSplitter::kMaxBurst);
    EXPECT_EQ(splitter.take(kStart + 9ms)->size(), BurstSplitter::kMaxBurst);
    EXPECT_FALSE(splitter.take(kStart + 9ms));
    EXPECT_EQ(splitter.takeRest()->size(), 9000 - 2 * BurstSplitter::kMaxBurst);
    EXPECT_FALSE(splitter.takeRest());
}

TEST(BurstSplitter, WhatIsPendingCanBeTakenAtTheEnd) {
    BurstSplitter splitter(20ms);
    splitter.add(Bytes{}, kStart);
    EXPECT_TRUE(splitter.empty());
    splitter.add(Bytes{'a'}, kStart);
    EXPECT_EQ(splitter.takeRest(), (Bytes{'a'}));
    EXPECT_TRUE(splitter.empty());
}

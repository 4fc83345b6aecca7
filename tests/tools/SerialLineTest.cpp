#include "SerialLine.h"

#include <chrono>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

namespace {
const SerialLine::TimePoint kStart{1s};
}

TEST(SerialLine, ABytePassesInTenBitTimes) {
    SerialLine line(9600);
    EXPECT_EQ(line.characterTime(), 1041667ns);

    const Bytes hundred(100, 0x55);
    line.put(hundred, kStart);
    EXPECT_EQ(line.nextArrival(), kStart + 1041667ns);
    EXPECT_TRUE(line.take(kStart + 1ms).empty());
    EXPECT_EQ(line.take(kStart + 2ms).size(), 1u);
    // 100 bytes take 104.17 ms; none arrives early, none is lost.
    EXPECT_EQ(line.take(kStart + 104ms).size(), 98u);
    EXPECT_EQ(line.take(kStart + 104166us).size(), 0u);
    EXPECT_EQ(line.take(kStart + 104167us).size(), 1u);
    EXPECT_EQ(line.size(), 0u);
    EXPECT_FALSE(line.nextArrival());
}

TEST(SerialLine, BytesWaitForTheLineAndTheLineWaitsForBytes) {
    SerialLine line(9600);
    line.put(Bytes{1, 2}, kStart);
    // Put while the line is busy: they follow the first two without a gap.
    line.put(Bytes{3}, kStart + 1ms);
    EXPECT_EQ(line.take(kStart + 3126us), (Bytes{1, 2, 3}));
    // Put after a quiet time: they start when put, not when the line became free.
    line.put(Bytes{4}, kStart + 50ms);
    EXPECT_EQ(line.nextArrival(), kStart + 50ms + 1041667ns);
    // Put for later (an answer held back): nothing arrives before that time.
    line.put(Bytes{5}, kStart + 200ms);
    EXPECT_EQ(line.take(kStart + 200ms), (Bytes{4}));
    EXPECT_EQ(line.take(kStart + 202ms), (Bytes{5}));
}

TEST(SerialLine, ALineWithoutSpeedHasNoDelay) {
    SerialLine line;
    line.put(Bytes(300, 7), kStart);
    EXPECT_EQ(line.take(kStart).size(), 300u);
    line.put(Bytes{9}, kStart + 5ms);
    EXPECT_TRUE(line.take(kStart + 4ms).empty());
    EXPECT_EQ(line.take(kStart + 5ms), (Bytes{9}));
}

#include "link/KeyboardPortLink.h"

#include "link/CommandFrame.h"
#include "link/FrameBatch.h"
#include "support/FakeClock.h"
#include "support/RecordingPortIo.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

// The pause that followed each write: the time to the next write, or to the end of the send.
std::vector<std::int64_t> pausesAfterWrites(const RecordingPortIo& io, std::int64_t endMs) {
    std::vector<std::int64_t> pauses;
    for (std::size_t i = 0; i < io.writes.size(); ++i) {
        const std::int64_t next = i + 1 < io.writes.size() ? io.writes[i + 1].atMs : endMs;
        pauses.push_back(next - io.writes[i].atMs);
    }
    return pauses;
}

struct KeyboardLinkTest : ::testing::Test {
    FakeClock clock;
    RecordingPortIo io{clock};
    KeyboardPortLink link{io, clock};
};

} // namespace

TEST_F(KeyboardLinkTest, ProbeIsThreeWritesWithTwoPauses) {
    link.sendProbe();
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x05, 0x1E}));
    EXPECT_EQ(pausesAfterWrites(io, clock.nowMilliseconds()),
              (std::vector<std::int64_t>{100, 100, 0}));
    for (const auto& w : io.writes) {
        EXPECT_EQ(w.port, 0x60);
    }
    EXPECT_EQ(io.calls.front(), "initialize");
    EXPECT_EQ(io.calls.back(), "shutdown");
}

TEST_F(KeyboardLinkTest, ResetFrameIsSixPacedWrites) {
    FrameBatch batch;
    CommandFrame::factoryReset().putInto(batch, 0);
    batch.count = 3; // only slot 0 is sent
    link.sendFrame(batch);
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x21, 0x01, 0xE0, 0x1F, 0xC4}));
    EXPECT_EQ(pausesAfterWrites(io, clock.nowMilliseconds()), (std::vector<std::int64_t>(6, 100)));
}

TEST_F(KeyboardLinkTest, BatchIsPacedPerWriteAndEndsWithoutPause) {
    FrameBatch batch;
    const Bytes entries[2] = {{0xC0, 0x00, 0x01, 0xFF}, {0xC0, 0x01, 0x01, 0x21}};
    for (int i = 0; i < 2; ++i) {
        std::copy(entries[i].begin(), entries[i].end(),
                  batch.frames[static_cast<std::size_t>(i)].begin());
        batch.lengths[static_cast<std::size_t>(i)] = 4;
    }
    batch.count = 2;
    int steps = 0;
    std::vector<std::size_t> writesAtStep;
    link.sendBatch(batch, [&] {
        ++steps;
        writesAtStep.push_back(io.writes.size());
    });
    // 0xFF and the checksum 0xE1 of the second entry are escaped, each half paced on its own.
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0xE0, 0x1F, 0x3E, 0xC0, 0x01, 0x01,
                                  0x21, 0xE0, 0x01, 0x1B, 0x30}));
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(writesAtStep, (std::vector<std::size_t>{8, 14}));
    const auto pauses = pausesAfterWrites(io, clock.nowMilliseconds());
    EXPECT_EQ(pauses.back(), 0);
    for (std::size_t i = 0; i + 1 < pauses.size(); ++i) {
        EXPECT_EQ(pauses[i], 100) << "write " << i;
    }
}

TEST_F(KeyboardLinkTest, EmptyBatchIsOpenedAndClosed) {
    FrameBatch batch;
    batch.frames[0] = {0xC0, 0x00, 0x01, 0x86};
    batch.lengths[0] = 4;
    EXPECT_TRUE(link.sendBatch(batch, {}));
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x1D, 0x1B, 0x30}));
    io.writes.clear();
    batch.count = 1;
    EXPECT_TRUE(link.sendBatch(batch, {}));
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0x86, 0x47, 0x1B, 0x30}));
}

TEST_F(KeyboardLinkTest, NoBatchReadsOutsideItsArrays) {
    FrameBatch batch;
    batch.count = 1000;
    batch.lengths.fill(100000);
    batch.lengths[3] = -5;
    // 25 entries of 255 bytes at most; entry 3 contributes only its checksum.
    EXPECT_TRUE(link.sendBatch(batch, {}));
    EXPECT_EQ(io.writes.size(), 4u + 24u * 256u + 1u);
    io.writes.clear();
    batch.count = -3;
    EXPECT_TRUE(link.sendBatch(batch, {}));
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x1D, 0x1B, 0x30}));
}

TEST_F(KeyboardLinkTest, ASendStopsAtTheFirstByteThatDoesNotReachThePort) {
    FrameBatch batch;
    batch.frames[0] = {0xC0, 0x00, 0x01, 0x86};
    batch.lengths[0] = 4;
    batch.count = 1;
    io.failWritesAfter = 3;
    EXPECT_FALSE(link.sendBatch(batch, {}));
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x1D, 0xC0}));
    EXPECT_EQ(io.calls.back(), "shutdown");
    // The probe too: its second byte refused, nothing after that byte's pause.
    io.failWritesAfter = 1;
    const std::int64_t before = clock.nowMilliseconds();
    EXPECT_FALSE(link.sendProbe());
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x1D, 0xC0, 0x1B}));
    EXPECT_EQ(clock.nowMilliseconds() - before, 200);
}

TEST(KeyboardLink, DriverCheckInstallsAndRemovesOnlyWhenInitialisationFails) {
    FakeClock clock;
    RecordingPortIo working(clock, true);
    KeyboardPortLink(working, clock).checkDriver();
    EXPECT_EQ(working.calls, (std::vector<std::string>{"initialize", "shutdown"}));

    RecordingPortIo failing(clock, false);
    KeyboardPortLink link(failing, clock);
    link.checkDriver();
    EXPECT_EQ(failing.calls, (std::vector<std::string>{"initialize", "installDriver",
                                                       "removeDriver", "shutdown"}));
    // A send still writes its whole sequence when the library cannot be initialised.
    link.sendProbe();
    EXPECT_EQ(failing.values(), (Bytes{0x1B, 0x05, 0x1E}));
}

#include "link/TransferEngine.h"

#include "link/CommandFrame.h"
#include "support/EngineRig.h"
#include "support/EngineTransactionRunner.h"
#include "support/FakeSerialPort.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint8_t kGroup = 0xC0;

const Bytes kPayload = {0x01, 0x02, 0x03};

CommandFrame writeBlock() {
    return CommandFrame::writeBlock(kGroup, 0x10, kPayload.data(),
                                    static_cast<int>(kPayload.size()));
}

Bytes bytesOf(const CommandFrame& frame) {
    return {frame.bytes(), frame.bytes() + frame.length()};
}

Bytes slotPrefix(const FrameBatch::Slot& slot, std::size_t n) {
    return {slot.begin(), slot.begin() + static_cast<std::ptrdiff_t>(n)};
}

bool zeroFrom(const FrameBatch::Slot& slot, std::size_t from) {
    for (std::size_t i = from; i < slot.size(); ++i) {
        if (slot[i] != 0) {
            return false;
        }
    }
    return true;
}

Transfer serialTransfer(int port, const std::vector<CommandFrame>& frames) {
    Transfer t;
    t.mode = TransferMode::Exchange;
    t.port = port;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i].putInto(t.batch, static_cast<int>(i));
    }
    t.batch.count = static_cast<std::int32_t>(frames.size());
    return t;
}

// A reader on RS232 that answers version queries with `counted` and read blocks with
// `blockData`.
void answerLikeReader(FakeSerialPort& serial, Bytes counted = {'V', '1', '.', '0'},
                      Bytes blockData = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}) {
    serial.answerLikeReader([counted, blockData](const Bytes& frame) {
        return classifyReply(frame[1]) == ReplyKind::Block ? blockData : counted;
    });
}

// An engine driven tick by tick, for the tests that look at single steps.
struct EngineTest : ::testing::Test, EngineRig {

    void begin(const Transfer& t) {
        engine.transfer() = t;
        engine.start();
    }
    void beginAutoDetect() {
        Transfer t;
        t.mode = TransferMode::AutoDetect;
        begin(t);
    }
    // Ticks until the search has a serial port open (or 2000 s have passed).
    void tickUntilSerialOpen() {
        while (!serial.isOpen() && clock.nowMilliseconds() < 2'000'000) {
            tick();
        }
    }
    // One timer-2 tick, one period after the last.
    void tick() {
        clock.advance(engine.workPeriodMs() > 0 ? engine.workPeriodMs() : 100);
        engine.workTick();
    }
    int ticksToEnd(int bound = 10000) {
        int n = 0;
        while (!engine.finished() && n < bound) {
            tick();
            ++n;
        }
        return n;
    }
};

// Whole runs through the runner, as the device commands see them.
struct RunnerTest : ::testing::Test {
    EngineTransactionRunner runner;
    FakeSerialPort& serial = runner.serial();
};

} // namespace

// --- serial exchange ----------------------------------------------------------------------

TEST_F(EngineTest, SilentReaderFailsAtTheFirstTickAfterTheWrite) {
    serial.allowPort(2);
    begin(serialTransfer(2, {CommandFrame::firmwareVersion()}));
    EXPECT_EQ(engine.workPeriodMs(), 500);
    EXPECT_EQ(serial.opens, (std::vector<int>{2}));
    tick();
    ASSERT_EQ(serial.writes.size(), 1u);
    EXPECT_EQ(serial.writes[0].bytes, (Bytes{0x1B, 0x01}));
    EXPECT_FALSE(engine.finished());
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
    EXPECT_FALSE(serial.isOpen());
    EXPECT_EQ(engine.workPeriodMs(), 0);
}

TEST_F(EngineTest, PortThatCannotBeUsedEndsAtStart) {
    // -1 is "no reader found": nothing is even tried.
    begin(serialTransfer(-1, {CommandFrame::firmwareVersion()}));
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
    EXPECT_TRUE(serial.openAttempts.empty());

    // A port with no device behind it: one open attempt, then the same ending, no tick.
    begin(serialTransfer(7, {CommandFrame::firmwareVersion()}));
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
    EXPECT_EQ(serial.openAttempts, (std::vector<int>{7}));
    EXPECT_EQ(engine.workPeriodMs(), 0);
    engine.workTick();
    EXPECT_TRUE(serial.writes.empty());
}

TEST_F(EngineTest, CountedReplyEndsTheBatchAndLaterFramesAreNeverSent) {
    serial.allowPort(1);
    answerLikeReader(serial, {'R', '5', '5', '0'});
    Transfer t = serialTransfer(1, {CommandFrame::firmwareVersion(), writeBlock(), writeBlock()});
    t.batch.replies[0].fill(0xEE);
    begin(t);
    // Send, echo, command echo, counted reply.
    EXPECT_EQ(ticksToEnd(), 4);
    const FrameBatch& batch = engine.transfer().batch;
    EXPECT_EQ(batch.result, TransferResult::Success);
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    EXPECT_EQ(serial.writes.size(), 1u);
    EXPECT_EQ(slotPrefix(batch.replies[0], 4), (Bytes{'R', '5', '5', '0'}));
    EXPECT_TRUE(zeroFrom(batch.replies[0], 4));
    EXPECT_EQ(batch.replyLengths[0], 4);
    EXPECT_FALSE(serial.isOpen());
}

TEST_F(EngineTest, BatchWithoutFramesEndsAtTheFirstTickWithResultZero) {
    for (const std::int32_t count : {0, -3}) {
        serial.allowPort(1);
        Transfer t = serialTransfer(1, {writeBlock()});
        t.batch.count = count;
        begin(t);
        tick();
        EXPECT_TRUE(engine.finished()) << count;
        EXPECT_EQ(engine.transfer().batch.result, TransferResult::Unknown) << count;
        EXPECT_TRUE(serial.writes.empty()) << count;
        EXPECT_FALSE(serial.isOpen()) << count;
    }
}

TEST_F(RunnerTest, WriteBlocksAreAcknowledgedOneAfterAnother) {
    serial.allowPort(3);
    answerLikeReader(serial);
    Transfer t = serialTransfer(3, {writeBlock(), writeBlock(), writeBlock()});
    EXPECT_EQ(runner.run(t), EndCode::Ended);
    EXPECT_EQ(t.batch.result, TransferResult::Success);
    EXPECT_EQ(t.batch.current, 3);
    ASSERT_EQ(serial.writes.size(), 3u);
    for (const auto& w : serial.writes) {
        EXPECT_EQ(w.bytes, bytesOf(writeBlock()));
        EXPECT_EQ(w.port, 3);
    }
    // The acknowledgement's four bytes after the echo stay in the slot.
    EXPECT_EQ(slotPrefix(t.batch.replies[2], 4), (Bytes{0x00, 0x00, 0x01, 0xAA}));
    // Four ticks of 500 ms per frame, plus the tick that finds the batch done.
    EXPECT_GE(runner.lastElapsedMs(), 13 * 500);
    EXPECT_LT(runner.lastElapsedMs(), 14 * 500);
    EXPECT_EQ(serial.closes, 1);
}

TEST_F(RunnerTest, BlockReplyLandsFromByteZeroWithTheRestCleared) {
    serial.allowPort(1);
    answerLikeReader(serial, {}, {0xA1, 0xA2, 0xA3});
    Transfer t = serialTransfer(
        1, {CommandFrame::readBlock(kGroup, 0x00, 3), CommandFrame::readBlock(kGroup, 0x10, 0)});
    t.batch.replies[0].fill(0xEE);
    t.batch.replies[1].fill(0xEE);
    EXPECT_EQ(runner.run(t), EndCode::Ended);
    EXPECT_EQ(t.batch.result, TransferResult::Success);
    EXPECT_EQ(slotPrefix(t.batch.replies[0], 3), (Bytes{0xA1, 0xA2, 0xA3}));
    EXPECT_TRUE(zeroFrom(t.batch.replies[0], 3));
    EXPECT_EQ(t.batch.replyLengths[0], 3);
    // L = 0 for a length of 0 succeeds with an empty slot.
    EXPECT_TRUE(zeroFrom(t.batch.replies[1], 0));
    EXPECT_EQ(t.batch.replyLengths[1], 0);
}

// Replies that must fail the exchange, or pass it, as the reader sends them after the write.
TEST_F(RunnerTest, MalformedRepliesFailAndOddButValidOnesPass) {
    const Bytes ack = bytesOf(writeBlock());
    const Bytes read4 = bytesOf(CommandFrame::readBlock(kGroup, 0x00, 4));
    const Bytes version = bytesOf(CommandFrame::firmwareVersion());
    struct Case {
        std::string name;
        Bytes frame;
        Bytes reply;
        int result;
    };
    const std::vector<Case> cases = {
        {"wrong first echo", ack, {0x1C, 0x1D, 0x00, 0x00, 0x01, 0xAA}, -1},
        {"wrong command echo", ack, {0x1B, 0x1C, 0x00, 0x00, 0x01, 0xAA}, -1},
        {"block length differs", read4, {0x1B, 0x1C, 0x00, 0x00, 0x03, 1, 2, 3, 4}, -1},
        {"block header of two bytes", read4, {0x1B, 0x1C, 0x00, 0x00}, -1},
        {"block data cut short", read4, {0x1B, 0x1C, 0x00, 0x00, 0x04, 1, 2}, -1},
        {"counted reply of N = 0", version, {0x1B, 0x01, 0x00}, -1},
        {"counted reply data missing", version, {0x1B, 0x01, 0x05}, -1},
        {"acknowledgement of 1 byte", ack, {0x1B, 0x1D, 0x00}, -1},
        {"acknowledgement of 3 bytes", ack, {0x1B, 0x1D, 0x00, 0x00, 0x01}, -1},
        {"acknowledgement 0x01 0xAB", ack, {0x1B, 0x1D, 0x00, 0x00, 0x01, 0xAB}, -1},
        {"acknowledgement 0x00 0xAA", ack, {0x1B, 0x1D, 0x00, 0x00, 0x00, 0xAA}, -1},
        {"acknowledgement with any first bytes", ack, {0x1B, 0x1D, 0x5A, 0xC3, 0x01, 0xAA}, 1},
    };
    for (const Case& c : cases) {
        FakeSerialPort port({1});
        const Bytes reply = c.reply;
        port.onWrite = [reply](FakeSerialPort& p, const Bytes&) { p.queueRead(reply); };
        EngineTransactionRunner run(runner.clock(), port, runner.portIo());
        Transfer t;
        t.mode = TransferMode::Exchange;
        t.port = 1;
        std::copy(c.frame.begin(), c.frame.end(), t.batch.frames[0].begin());
        t.batch.lengths[0] = static_cast<std::int32_t>(c.frame.size());
        t.batch.count = 1;
        EXPECT_EQ(run.run(t), EndCode::Ended) << c.name;
        EXPECT_EQ(static_cast<int>(t.batch.result), c.result) << c.name;
        EXPECT_FALSE(run.hitLimit()) << c.name;
        EXPECT_FALSE(port.isOpen()) << c.name;
    }
}

TEST_F(RunnerTest, StallAfterTheFirstEchoByteWaitsUntilCancel) {
    serial.allowPort(1);
    serial.queueReadAfterWrite(1, {0x1B});
    ExchangeStep stateAtCancel = ExchangeStep::SendNext;
    runner.hook = EngineTransactionRunner::at(120'000, [&](TransferEngine& engine) {
        stateAtCancel = engine.exchangeStep();
        engine.cancel();
    });
    Transfer t = serialTransfer(1, {writeBlock()});
    EXPECT_EQ(runner.run(t), EndCode::Ended);
    EXPECT_EQ(stateAtCancel, ExchangeStep::AwaitCommandEcho);
    EXPECT_EQ(t.batch.result, TransferResult::Failure);
    EXPECT_FALSE(runner.hitLimit());
    EXPECT_FALSE(serial.isOpen());
}

TEST_F(RunnerTest, EscapeLeavesResultAndReleasesThePort) {
    serial.allowPort(1);
    // Frame 0 is acknowledged, frame 1 never is.
    serial.queueReadAfterWrite(1, FakeSerialPort::acknowledgement(bytesOf(writeBlock())));
    serial.queueReadAfterWrite(2, {0x1B, 0x1D});
    runner.hook = EngineTransactionRunner::at(30'000, [](TransferEngine& e) { e.escape(); });
    Transfer t = serialTransfer(1, {writeBlock(), writeBlock()});
    EXPECT_EQ(runner.run(t), EndCode::Escape);
    EXPECT_EQ(t.batch.result, TransferResult::Success);
    EXPECT_FALSE(serial.isOpen());
    EXPECT_EQ(serial.closes, 1);
}

TEST_F(RunnerTest, StrayBytesAreDrainedIntoSlotTwentyBeforeEachFrame) {
    serial.allowPort(1);
    // The block reply carries two bytes more than it announced; they are still waiting when
    // frame 1 goes out and must not pass for its echo.
    serial.queueReadAfterWrite(1, {0x1B, 0x1C, 0x00, 0x00, 0x02, 0x31, 0x32, 0x55, 0x66});
    serial.queueReadAfterWrite(2, FakeSerialPort::acknowledgement(bytesOf(writeBlock())));
    Transfer t = serialTransfer(1, {CommandFrame::readBlock(kGroup, 0x00, 2), writeBlock()});
    EXPECT_EQ(runner.run(t), EndCode::Ended);
    EXPECT_EQ(t.batch.result, TransferResult::Success);
    EXPECT_EQ(slotPrefix(t.batch.replies[0], 2), (Bytes{0x31, 0x32}));
    EXPECT_EQ(slotPrefix(t.batch.replies[20], 2), (Bytes{0x55, 0x66}));
    // Each write is preceded by a drain read of up to 255 bytes.
    EXPECT_EQ(std::count_if(serial.reads.begin(), serial.reads.end(),
                            [](const FakeSerialPort::Read& r) { return r.asked == 255; }),
              2);
}

// --- the port going away, and writes that fall short ------------------------------------

TEST_F(EngineTest, LostDeviceFailsTheExchangeAtOnce) {
    // In the waits that otherwise last until CANCEL: the command echo and the acknowledgement.
    for (const Bytes& arrived : {Bytes{0x1B}, Bytes{0x1B, 0x1D}}) {
        serial.allowPort(1);
        serial.queueReadAfterWrite(static_cast<int>(serial.writes.size()) + 1, arrived);
        begin(serialTransfer(1, {writeBlock()}));
        for (std::size_t i = 0; i <= arrived.size(); ++i) {
            tick();
        }
        ASSERT_FALSE(engine.finished());
        serial.loseDevice();
        tick();
        EXPECT_TRUE(engine.finished());
        EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
        EXPECT_FALSE(serial.isOpen());
    }
}

TEST_F(EngineTest, LostDeviceBeforeTheWriteFailsWithoutWaiting) {
    serial.allowPort(1);
    begin(serialTransfer(1, {writeBlock()}));
    serial.loseDevice();
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
    EXPECT_TRUE(serial.writes.empty());
}

TEST_F(EngineTest, ShortWriteFailsTheExchange) {
    serial.allowPort(1);
    answerLikeReader(serial);
    serial.failWritesAfterBytes(5);
    begin(serialTransfer(1, {writeBlock()}));
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
    ASSERT_EQ(serial.writes.size(), 1u);
    EXPECT_EQ(serial.writes[0].bytes.size(), 5u);
}

TEST_F(EngineTest, DestructionReleasesAnOpenPort) {
    FakeSerialPort port({4});
    {
        TransferEngine local(clock, port, keyboard);
        local.transfer() = serialTransfer(4, {writeBlock()});
        local.start();
        ASSERT_TRUE(port.isOpen());
    }
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.closes, 1);
}

// --- batches filled beyond the arrays ----------------------------------------------------

TEST_F(RunnerTest, OversizedBatchStaysInsideTheArrays) {
    serial.allowPort(1);
    answerLikeReader(serial, {0x41}, {0x10, 0x20});
    Transfer t;
    t.mode = TransferMode::Exchange;
    t.port = 1;
    // Read blocks at every index: frames 5 and later announce lengths too.
    for (int i = 0; i < FrameBatch::kMaxFrames; ++i) {
        CommandFrame::readBlock(kGroup, static_cast<std::uint8_t>(i), 2).putInto(t.batch, i);
    }
    t.batch.count = 40;
    EXPECT_EQ(runner.run(t), EndCode::Ended);
    EXPECT_EQ(t.batch.result, TransferResult::Success);
    EXPECT_EQ(serial.writes.size(), 25u);
    EXPECT_EQ(t.batch.current, 25);
    for (int length : t.batch.replyLengths) {
        EXPECT_EQ(length, 2);
    }
    EXPECT_EQ(slotPrefix(t.batch.replies[24], 2), (Bytes{0x10, 0x20}));
}

TEST_F(EngineTest, FrameLengthsAreClampedToTheSlot) {
    serial.allowPort(1);
    Transfer t = serialTransfer(1, {writeBlock(), writeBlock()});
    t.batch.lengths[0] = 300;
    begin(t);
    tick();
    ASSERT_EQ(serial.writes.size(), 1u);
    EXPECT_EQ(serial.writes[0].asked, 255);

    engine.cancel();
    t.batch.lengths[0] = -4;
    begin(t);
    tick();
    EXPECT_EQ(serial.writes.size(), 1u); // nothing to write
    tick();
    EXPECT_TRUE(engine.finished()); // and so nothing echoed
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
}

TEST_F(EngineTest, CurrentMovedOutsideTheBatchFailsInsteadOfReadingBeyondIt) {
    serial.allowPort(1);
    begin(serialTransfer(1, {writeBlock()}));
    tick();
    engine.transfer().batch.current = 30;
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
}

// --- keyboard-controller port -------------------------------------------------------------

TEST_F(EngineTest, ExchangeOnPortZeroSendsSlotZeroOnly) {
    Transfer t;
    t.mode = TransferMode::Exchange;
    t.port = 0;
    CommandFrame::factoryReset().putInto(t.batch, 0);
    writeBlock().putInto(t.batch, 1);
    writeBlock().putInto(t.batch, 2);
    t.batch.count = 3;
    begin(t);
    EXPECT_EQ(engine.workPeriodMs(), 100);
    const std::size_t checkCalls = io.calls.size();
    EXPECT_EQ(io.calls, (std::vector<std::string>{"initialize", "shutdown"}));
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Success);
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x21, 0x01, 0xE0, 0x1F, 0xC4}));
    for (const auto& w : io.writes) {
        EXPECT_EQ(w.port, 0x60);
    }
    EXPECT_GT(io.calls.size(), checkCalls);
    EXPECT_TRUE(serial.openAttempts.empty());
}

TEST_F(EngineTest, KeyboardBatchSendsEveryByteAndStepsTheBarPerSlot) {
    Transfer t;
    t.mode = TransferMode::KeyboardBatch;
    const Bytes entries[2] = {{0xC0, 0x00, 0x01, 0x86}, {0xC0, 0x01, 0x01, 0xFF}};
    for (int i = 0; i < 2; ++i) {
        auto& slot = t.batch.frames[static_cast<std::size_t>(i)];
        std::copy(entries[i].begin(), entries[i].end(), slot.begin());
        t.batch.lengths[static_cast<std::size_t>(i)] = 4;
    }
    t.batch.count = 2;
    std::vector<int> steps;
    std::vector<std::size_t> writesAtStep;
    engine.setProgressListener([&](int value) {
        steps.push_back(value);
        writesAtStep.push_back(io.writes.size());
    });
    begin(t);
    EXPECT_EQ(engine.workPeriodMs(), 100);
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Unknown);
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Success);
    // 0xFF is escaped; the checksum 0x3F of the second entry is not.
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0x86, 0x47, 0xC0, 0x01, 0x01, 0xE0,
                                  0x1F, 0x3F, 0x1B, 0x30}));
    EXPECT_EQ(steps, (std::vector<int>{1, 2}));
    EXPECT_EQ(writesAtStep, (std::vector<std::size_t>{7, 13}));
    // 14 paced writes (none after 0x30) and the 25 ms pause of each step.
    EXPECT_EQ(clock.slept(), 14 * 100 + 2 * 25);
}

TEST_F(EngineTest, KeyboardBatchWithTooManySlotsSendsTwentyFive) {
    Transfer t;
    t.mode = TransferMode::KeyboardBatch;
    for (std::size_t i = 0; i < FrameBatch::kMaxFrames; ++i) {
        t.batch.frames[i][0] = 0x01;
        t.batch.lengths[i] = 1;
    }
    t.batch.count = 99;
    int steps = 0;
    engine.setProgressListener([&](int) { ++steps; });
    begin(t);
    tick();
    EXPECT_EQ(steps, 25);
    // Opener, 25 entries of byte and checksum, closer.
    EXPECT_EQ(io.writes.size(), 2u + 25u * 2u + 2u);
}

// --- auto-detect --------------------------------------------------------------------------

TEST_F(EngineTest, AutoDetectFindsComThreeAfterTheKeyboardWait) {
    serial.allowPort(3);
    serial.allowPort(5);
    serial.onWrite = [](FakeSerialPort& port, const Bytes&) {
        if (port.openPort() == 3) {
            port.queueRead({0x42});
        }
    };
    beginAutoDetect();
    EXPECT_EQ(engine.workPeriodMs(), 100);
    tick();
    EXPECT_EQ(io.values(), (Bytes{0x1B, 0x05, 0x1E}));
    EXPECT_EQ(slotPrefix(engine.transfer().batch.frames[0], 3), (Bytes{0x1B, 0x05, 0x1E}));
    const std::int64_t probeSentMs = io.writes.back().atMs;

    std::vector<std::pair<int, std::int64_t>> attempts; // port, time
    for (int i = 0; i < 1000 && !engine.finished(); ++i) {
        const std::size_t before = serial.openAttempts.size();
        tick();
        if (serial.openAttempts.size() > before) {
            attempts.emplace_back(serial.openAttempts.back(), clock.nowMilliseconds());
        }
    }
    EXPECT_EQ(engine.transfer().port, 3);
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    ASSERT_EQ(attempts.size(), 3u);
    const std::int64_t keyboardWait = attempts[0].second - probeSentMs;
    EXPECT_GT(keyboardWait, 10'000);
    EXPECT_LE(keyboardWait, 11'100);
    // Ports 1 and 2 do not open and cost one tick each.
    EXPECT_EQ(attempts[0].first, 1);
    EXPECT_EQ(attempts[1].first, 2);
    EXPECT_EQ(attempts[2].first, 3);
    EXPECT_EQ(attempts[1].second - attempts[0].second, 100);
    EXPECT_EQ(attempts[2].second - attempts[1].second, 100);
    ASSERT_EQ(serial.writes.size(), 1u);
    EXPECT_EQ(serial.writes[0].bytes, (Bytes{0x1B, 0x00}));
    EXPECT_EQ(serial.reads.back().asked, 2);
    EXPECT_EQ(engine.transfer().batch.replies[0][0], 0x42);
    EXPECT_FALSE(serial.isOpen());
    EXPECT_EQ(serial.opens, (std::vector<int>{3}));
}

// The wait for the O counts from the end of the probe's send (about 200 ms), wherever in a second
// the send falls: counted from its start, a send across a second ended the wait a second early.
TEST(KeyboardProbeWait, LastsTenSecondsAfterTheProbeWherever) {
    std::int64_t shortest = 100'000;
    for (const std::int64_t startMs : {0, 700, 850, 950}) {
        SCOPED_TRACE(startMs);
        FakeClock clock;
        clock.advance(startMs);
        FakeSerialPort serial;
        serial.allowPort(1);
        RecordingPortIo io{clock};
        KeyboardPortLink keyboard{io, clock};
        TransferEngine engine{clock, serial, keyboard};
        engine.transfer().mode = TransferMode::AutoDetect;
        engine.start();
        for (int i = 0; i < 200 && serial.openAttempts.empty(); ++i) {
            clock.advance(100);
            engine.workTick();
        }
        ASSERT_FALSE(io.writes.empty() || serial.openAttempts.empty());
        shortest = std::min(shortest, clock.nowMilliseconds() - io.writes.back().atMs);
    }
    EXPECT_GT(shortest, 10'000);
    std::cout << "[ figures  ] shortest wait for the O after the probe: " << shortest << " ms\n";
}

TEST_F(EngineTest, LetterOInAProbeWaitMeansTheKeyboardLine) {
    beginAutoDetect();
    engine.keyDown('O'); // before the probe: state 0, no effect
    tick();
    EXPECT_EQ(engine.detectStep(), DetectStep::AwaitProbeAnswer);
    engine.keyDown('X');
    EXPECT_EQ(engine.detectStep(), DetectStep::AwaitProbeAnswer);
    engine.keyDown('o');
    EXPECT_EQ(engine.detectStep(), DetectStep::Found);
    EXPECT_EQ(engine.transfer().port, 0);
    EXPECT_FALSE(engine.finished());
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    EXPECT_EQ(engine.transfer().port, 0);
}

TEST_F(EngineTest, LetterODuringASerialProbeClosesThePort) {
    serial.allowPort(1);
    beginAutoDetect();
    tickUntilSerialOpen();
    ASSERT_TRUE(serial.isOpen());
    engine.keyDown(0x4F);
    EXPECT_FALSE(serial.isOpen());
    tick();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().port, 0);
}

TEST_F(EngineTest, LetterOOutsideAutoDetectChangesNothing) {
    serial.allowPort(2);
    begin(serialTransfer(2, {writeBlock()}));
    tick();
    engine.keyDown('O');
    EXPECT_EQ(engine.transfer().port, 2);
    EXPECT_EQ(engine.exchangeStep(), ExchangeStep::AwaitEcho);
    EXPECT_TRUE(serial.isOpen());
}

TEST_F(EngineTest, LostPortDuringAProbeMovesOnAtOnce) {
    serial.allowPort(1);
    serial.allowPort(2);
    beginAutoDetect();
    tickUntilSerialOpen();
    ASSERT_EQ(serial.openPort(), 1);
    serial.loseDevice();
    tick(); // notices the loss
    EXPECT_FALSE(serial.isOpen());
    tick(); // next candidate
    EXPECT_EQ(serial.openPort(), 2);
}

TEST_F(RunnerTest, NoReaderAnywhereProbesEveryPortThatOpensForFiveSeconds) {
    for (int port = 1; port <= 9; ++port) {
        serial.allowPort(port);
    }
    std::vector<std::int64_t> probeLengths;
    std::int64_t openedAt = -1;
    runner.hook = [&](TransferEngine&, std::int64_t elapsed) {
        if (serial.isOpen() && openedAt < 0) {
            openedAt = elapsed;
        } else if (!serial.isOpen() && openedAt >= 0) {
            probeLengths.push_back(elapsed - openedAt);
            openedAt = -1;
        }
    };
    Transfer t;
    t.mode = TransferMode::AutoDetect;
    t.port = -1;
    const auto realStart = std::chrono::steady_clock::now();
    const EndCode code = runner.run(t);
    const auto realMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - realStart)
            .count();
    EXPECT_EQ(code, EndCode::Ended);
    EXPECT_EQ(t.port, -1);
    EXPECT_EQ(serial.opens, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ASSERT_EQ(probeLengths.size(), 9u);
    for (const std::int64_t ms : probeLengths) {
        EXPECT_GT(ms, 5'000);
        EXPECT_LE(ms, 6'100);
    }
    // 10 to 11 s for the keyboard line, 5 to 6 s for each port.
    EXPECT_GT(runner.lastElapsedMs(), 10'000 + 9 * 5'000);
    EXPECT_LT(runner.lastElapsedMs(), 11'500 + 9 * 6'100);
    EXPECT_LT(realMs, 1000.0);
    RecordProperty("simulated_ms", std::to_string(runner.lastElapsedMs()));
    RecordProperty("real_ms", std::to_string(realMs));
    std::cout << "[ figures  ] auto-detect without a reader: " << runner.lastElapsedMs()
              << " ms simulated in " << realMs << " ms real\n";
}

TEST_F(RunnerTest, NoSerialPortAtAllGivesMinusOneAfterTheKeyboardWait) {
    Transfer t;
    t.mode = TransferMode::AutoDetect;
    t.port = -1;
    EXPECT_EQ(runner.run(t), EndCode::Ended);
    EXPECT_EQ(t.port, -1);
    EXPECT_EQ(serial.openAttempts, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_GT(runner.lastElapsedMs(), 10'000);
    EXPECT_LT(runner.lastElapsedMs(), 11'000 + 11 * 100 + 500);
}

TEST_F(RunnerTest, EscapeDuringAutoDetectKeepsPortAndReleasesTheProbe) {
    serial.allowPort(1);
    runner.hook = EngineTransactionRunner::at(12'000, [](TransferEngine& e) { e.escape(); });
    Transfer t;
    t.mode = TransferMode::AutoDetect;
    t.port = -1;
    EXPECT_EQ(runner.run(t), EndCode::Escape);
    EXPECT_EQ(t.port, -1);
    EXPECT_EQ(serial.opens, (std::vector<int>{1}));
    EXPECT_FALSE(serial.isOpen());
}

// --- the bar, CANCEL and unsupported modes ------------------------------------------------

TEST_F(EngineTest, UnsupportedModeMovesTheBarUntilCancel) {
    Transfer t;
    t.mode = TransferMode{7};
    t.batch.result = TransferResult{5};
    std::vector<int> seen;
    engine.setProgressListener([&](int v) { seen.push_back(v); });
    begin(t);
    EXPECT_EQ(engine.workPeriodMs(), 0);
    EXPECT_EQ(engine.transfer().batch.result, TransferResult{5});
    engine.workTick();
    for (int i = 0; i < 102; ++i) {
        engine.progressTick();
    }
    EXPECT_FALSE(engine.finished());
    ASSERT_EQ(seen.size(), 102u);
    EXPECT_EQ(seen[0], 1);
    EXPECT_EQ(seen[99], 100);
    EXPECT_EQ(seen[100], 0); // past 100 it starts again
    EXPECT_EQ(seen[101], 1);
    EXPECT_EQ(clock.slept(), 102 * 25);
    engine.cancel();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
    // Nothing moves once the run has ended.
    engine.escape();
    engine.progressTick();
    EXPECT_EQ(engine.endCode(), EndCode::Ended);
    EXPECT_EQ(seen.size(), 102u);
}

// --- one candidate alone, for a driver that probes ports side by side ------------------------

TEST_F(EngineTest, AutoDetectOfTheKeyboardLineAloneTouchesNoSerialPort) {
    for (const bool typed : {true, false}) {
        SCOPED_TRACE(typed ? "O typed" : "no answer");
        serial.allowPort(1);
        Transfer t;
        t.mode = TransferMode::AutoDetect;
        engine.setCandidates(TransferEngine::kKeyboardCandidate,
                             TransferEngine::kKeyboardCandidate);
        begin(t);
        tick();
        EXPECT_EQ(engine.detectStep(), DetectStep::AwaitProbeAnswer);
        if (typed) {
            engine.keyDown('o');
        }
        ticksToEnd();
        EXPECT_EQ(engine.transfer().port, typed ? Transfer::kKeyboardLine : Transfer::kNoPort);
        EXPECT_TRUE(serial.openAttempts.empty());
    }
}

TEST_F(EngineTest, TimeOutMovesTheSearchOnOnlyFromASerialProbe) {
    serial.allowPort(2);
    serial.allowPort(3);
    Transfer t;
    t.mode = TransferMode::AutoDetect;
    engine.setCandidates(2, 3);
    begin(t);
    tick();
    EXPECT_EQ(engine.probeIndex(), 2);
    engine.timeOut(500);
    tick();
    EXPECT_EQ(engine.probeIndex(), 3);
    EXPECT_EQ(serial.opens, (std::vector<int>{2, 3}));
    EXPECT_FALSE(engine.finished());

    // The keyboard probe's wait is the window's own 10 s; a time-out leaves it alone.
    Transfer keyboardOnly;
    keyboardOnly.mode = TransferMode::AutoDetect;
    engine.setCandidates(0, 0);
    begin(keyboardOnly);
    tick();
    engine.timeOut(500);
    EXPECT_EQ(engine.probeIndex(), 0);
    EXPECT_EQ(engine.detectStep(), DetectStep::AwaitProbeAnswer);
}

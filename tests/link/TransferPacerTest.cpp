// The pacer that ticks the transfer engine when the reader's bytes are there, against the fake
// serial port and a fake clock.
#include "link/TransferPacer.h"

#include "link/CommandFrame.h"
#include "link/TransferEngine.h"
#include "operations/DeviceTransaction.h"
#include "operations/ProgrammingBatch.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "support/EngineRig.h"
#include "support/FakeSerialPort.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct PacerTest : ::testing::Test, EngineRig {
    std::unique_ptr<TransferPacer> pacer;
    bool gone = false;
    std::int64_t startMs = 0;

    int waiting() const { return gone ? -1 : static_cast<int>(serial.pending()); }

    void start(const Transfer& transfer, Pace pace = Pace::Reader,
               TransferPacer::Limits limits = {}) {
        pacer = std::make_unique<TransferPacer>(engine, clock, pace, limits);
        engine.transfer() = transfer;
        startMs = clock.nowMilliseconds();
        pacer->start([this] { return waiting(); });
    }
    void service() {
        pacer->service([this] { return waiting(); });
    }
    // As the loop does when nothing arrives: sleep until the pacer's deadline, then serve it.
    void untilEnd() {
        for (int rounds = 0; !engine.finished() && rounds < 1000; ++rounds) {
            const std::optional<std::int64_t> due = pacer->deadline();
            ASSERT_TRUE(due) << "a running transaction always has a deadline";
            clock.advance(*due > clock.nowMilliseconds() ? *due - clock.nowMilliseconds() : 0);
            service();
        }
    }
    std::int64_t elapsed() const { return clock.nowMilliseconds() - startMs; }
    const Failure& failure() const { return engine.transfer().failure; }
};

Transfer factoryProgramming(int port) {
    SettingsImage image;
    writeFactoryValues(image);
    return DeviceTransaction::programViaSerial(image, PortName::number(port)).transfer();
}

Transfer versionQuery(int port) {
    return DeviceTransaction::firmwareVersion(PortName::number(port)).transfer();
}

} // namespace

TEST_F(PacerTest, ProgrammingRunsAsFastAsTheReaderAnswers) {
    serial.allowPort(3);
    serial.answerLikeReader();
    const Transfer transfer = factoryProgramming(3);
    start(transfer);
    // Every answer is there as soon as its frame is written: the whole batch runs at once.
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Success);
    EXPECT_EQ(elapsed(), 0);
    ASSERT_EQ(serial.writes.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const auto& slot = transfer.batch.frames[static_cast<std::size_t>(i)];
        EXPECT_EQ(
            serial.writes[static_cast<std::size_t>(i)].bytes,
            Bytes(slot.begin(), slot.begin() + transfer.batch.lengths[static_cast<std::size_t>(i)]))
            << i;
    }
    EXPECT_FALSE(serial.isOpen());
}

TEST_F(PacerTest, WindowPaceKeepsTheWindowsTicks) {
    serial.allowPort(3);
    serial.answerLikeReader();
    start(factoryProgramming(3), Pace::Window);
    untilEnd();
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Success);
    // Four ticks of 500 ms for each of the six frames, and the one that finds the batch done.
    EXPECT_EQ(elapsed(), 25 * 500);
}

TEST_F(PacerTest, EveryWaitHasItsLimit) {
    struct Case {
        const char* name;
        Bytes answer; // what the reader sends for the frame
        Pace pace;
        FailureKind kind;
        int limitMs;
    };
    const std::vector<Case> cases{
        {"silent", {}, Pace::Reader, FailureKind::NoAnswer, 500},
        {"stalls after the echo", {0x1B}, Pace::Reader, FailureKind::NoReply, 1500},
        {"stalls after the command echo", {0x1B, 0x01}, Pace::Reader, FailureKind::NoReply, 1500},
        // The window would wait for the command echo until CANCEL.
        {"window, stalls after the echo", {0x1B}, Pace::Window, FailureKind::NoReply, 1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        serial = FakeSerialPort({1});
        const Bytes answer = c.answer;
        serial.onWrite = [answer](FakeSerialPort& port, const Bytes&) { port.queueRead(answer); };
        TransferPacer::Limits limits;
        limits.replyMs = 1500;
        start(versionQuery(1), c.pace, limits);
        untilEnd();
        EXPECT_EQ(engine.transfer().batch.result, TransferResult::Failure);
        EXPECT_EQ(failure().kind, c.kind);
        EXPECT_EQ(failure().waitedMs, c.limitMs);
        EXPECT_FALSE(serial.isOpen());
        if (c.pace == Pace::Reader && c.kind == FailureKind::NoAnswer) {
            EXPECT_EQ(elapsed(), 500);
        }
    }
}

TEST_F(PacerTest, BlockReplyRunsOnceTheLengthItAskedForHasArrived) {
    serial.allowPort(1);
    const Bytes data{0x86, 0x01, 0x0A, 0x05, 0x80, 0xA3, 0xA3, 0xA3, 0x83};
    Transfer transfer = DeviceTransaction::loadMainSettings(PortName::number(1)).transfer();
    transfer.batch.count = 1;
    // The echo, the header and four of the nine data bytes come first.
    serial.queueReadAfterWrite(1, {0x1B, 0x1C, 0xC0, 0x00, 0x09, 0x86, 0x01, 0x0A, 0x05});
    start(transfer);
    EXPECT_FALSE(engine.finished());
    EXPECT_EQ(engine.exchangeStep(), ExchangeStep::ReadBlockReply);
    clock.advance(5);
    serial.queueRead({0x80, 0xA3, 0xA3, 0xA3, 0x83});
    service();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(engine.transfer().batch.result, TransferResult::Success);
    const auto& reply = engine.transfer().batch.replies[0];
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 9), data);
}

TEST_F(PacerTest, CountedReplyIsReadOnceTheLineHasBeenQuiet) {
    serial.allowPort(1);
    serial.queueReadAfterWrite(1, {0x1B, 0x01, 0x05, 'V', '1'});
    start(versionQuery(1));
    EXPECT_EQ(engine.exchangeStep(), ExchangeStep::ReadCountedReply);
    EXPECT_EQ(pacer->deadline(), startMs + 20);
    // The rest comes after a pause shorter than the quiet time: it belongs to the same reply.
    clock.advance(10);
    serial.queueRead({'.', '0', '0'});
    service();
    clock.advance(19);
    service();
    EXPECT_FALSE(engine.finished());
    clock.advance(1);
    service();
    ASSERT_TRUE(engine.finished());
    const Outcome outcome = [&] {
        DeviceTransaction query = DeviceTransaction::firmwareVersion(PortName::number(1));
        query.transfer() = engine.transfer();
        return query.conclude(engine.endCode());
    }();
    EXPECT_EQ(outcome.versionText, "V1.00");
}

TEST_F(PacerTest, DeviceThatGoesAwayFailsAtOnce) {
    serial.allowPort(1);
    start(versionQuery(1));
    clock.advance(100);
    serial.loseDevice();
    gone = true;
    service();
    EXPECT_TRUE(engine.finished());
    EXPECT_EQ(failure().kind, FailureKind::Unplugged);
    EXPECT_EQ(elapsed(), 100);

    // A line that cannot tell its count while the read still finds the device there: the
    // wait's limit decides, and the wait is not served again and again meanwhile.
    serial = FakeSerialPort({1});
    serial.queueReadAfterWrite(1, {0x1B});
    gone = false;
    start(versionQuery(1));
    ASSERT_EQ(engine.exchangeStep(), ExchangeStep::AwaitCommandEcho);
    gone = true;
    untilEnd();
    EXPECT_EQ(failure().kind, FailureKind::NoReply);
    EXPECT_EQ(elapsed(), 2000);
}

TEST_F(PacerTest, ProbeOfOnePortAlone) {
    for (const bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "answers" : "silent");
        serial = FakeSerialPort({3, 4});
        if (answers) {
            serial.queueReadAfterWrite(1, {0x1B, 0x00});
        }
        Transfer probe;
        probe.mode = TransferMode::AutoDetect;
        engine.setCandidates(4, 4);
        start(probe);
        untilEnd();
        EXPECT_EQ(engine.transfer().port, answers ? 4 : Transfer::kNoPort);
        // The answer is taken once the line has gone quiet; a silent port is given the echo time.
        EXPECT_EQ(elapsed(), answers ? 20 : 500);
        // No other port is touched, and no keyboard probe goes out.
        EXPECT_EQ(serial.openAttempts, std::vector<int>{4});
        EXPECT_TRUE(io.writes.empty());
        EXPECT_FALSE(serial.isOpen());
    }
}

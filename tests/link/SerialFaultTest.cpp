// Readers that go away or answer out of bounds, on a real serial link over a pseudo-terminal:
// the transfer engine runs on a fake clock and the test ticks it, so every wait is the test's.
#include "link/CommandFrame.h"
#include "link/KeyboardPortLink.h"
#include "link/SerialLink.h"
#include "link/Transfer.h"
#include "link/TransferEngine.h"
#include "operations/ProgrammingBatch.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "support/EngineTransactionRunner.h"
#include "support/FakeClock.h"
#include "support/OperationsBench.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingPortIo.h"
#include "support/TempFolder.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kReaderPort = 3;

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Bytes frameBytes(const FrameBatch& batch, int i) {
    const FrameBatch::Slot& slot = batch.frames[static_cast<std::size_t>(i)];
    return {slot.begin(), slot.begin() + batch.usableLength(i)};
}

// A reader on COM3 behind a pseudo-terminal, and the engine of one transaction on a real link.
struct ReaderBench {
    PortMap map() const { return PortMap(ports.path().string(), std::nullopt, std::nullopt); }
    bool ready() const { return pty.ready() && pty.linkAs(ports.path(), kReaderPort); }

    // One tick of the work timer.
    void tick() {
        clock.advance(engine.workPeriodMs());
        engine.workTick();
    }

    TempFolder ports;
    PseudoTerminal pty;
    FakeClock clock;
    SerialLink link{map(), clock};
    RecordingPortIo io{clock};
    KeyboardPortLink keyboard{io, clock};
    TransferEngine engine{clock, link, keyboard};
};

Bytes acknowledgement(const Bytes& frame) {
    return {frame[0], frame[1], 0x00, 0x00, 0x01, 0xAA};
}

} // namespace

// The reader is unplugged at each point of an exchange where the engine would otherwise wait
// without a limit (or fail only by luck): the run fails at the very next tick, releases the port
// and leaves no descriptor behind.
TEST(SerialFaults, ReaderGoneMidExchangeFailsAtTheNextTick) {
    struct Case {
        const char* name;
        bool programming;    // six write blocks, else one version query
        bool sendBeforeGone; // the next frame goes out before the reader goes
        std::ptrdiff_t replyBytes;
        ExchangeStep stepWhenGone;
    };
    const Case cases[] = {
        {"before the second frame goes out", true, false, 0, ExchangeStep::SendNext},
        {"before the second frame's echo", true, true, 0, ExchangeStep::AwaitEcho},
        {"after the echo of ESC", true, true, 1, ExchangeStep::AwaitCommandEcho},
        {"after the command echo", true, true, 2, ExchangeStep::ReadAcknowledge},
        {"before the length of a counted reply", false, true, 2, ExchangeStep::ReadCountedReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReaderBench b;
        ASSERT_TRUE(b.ready());
        const int descriptorsBefore = openDescriptorCount();

        Transfer& transfer = b.engine.transfer();
        transfer.mode = TransferMode::Exchange;
        transfer.port = kReaderPort;
        if (c.programming) {
            SettingsImage image;
            writeFactoryValues(image);
            ProgrammingBatch::fillSerial(image, transfer.batch);
        } else {
            CommandFrame::firmwareVersion().putInto(transfer.batch, 0);
            transfer.batch.count = 1;
        }
        b.engine.start();
        ASSERT_FALSE(b.engine.finished());
        ASSERT_TRUE(b.link.isOpen());

        // The first write block is answered in full, as a reader does.
        if (c.programming) {
            const Bytes frame = frameBytes(transfer.batch, 0);
            b.tick();
            ASSERT_EQ(b.pty.receive(frame.size()), frame);
            ASSERT_TRUE(b.pty.send(acknowledgement(frame)));
            for (int i = 0; i < 3; ++i) {
                b.tick();
            }
            ASSERT_FALSE(b.engine.finished());
            ASSERT_EQ(transfer.batch.current, 1);
            ASSERT_EQ(transfer.batch.result, TransferResult::Success);
        }
        const int index = transfer.batch.current;
        if (c.sendBeforeGone) {
            const Bytes frame = frameBytes(transfer.batch, index);
            b.tick();
            ASSERT_EQ(b.pty.receive(frame.size()), frame);
            const Bytes reply = acknowledgement(frame);
            if (c.replyBytes > 0) {
                ASSERT_TRUE(b.pty.send(Bytes(reply.begin(), reply.begin() + c.replyBytes)));
            }
            for (std::ptrdiff_t i = 0; i < c.replyBytes; ++i) {
                b.tick();
            }
        }
        ASSERT_FALSE(b.engine.finished());
        ASSERT_EQ(b.engine.exchangeStep(), c.stepWhenGone);

        b.pty.closeMaster();
        b.tick();
        EXPECT_TRUE(b.engine.finished());
        EXPECT_EQ(b.engine.endCode(), EndCode::Ended);
        EXPECT_EQ(transfer.batch.result, TransferResult::Failure);
        EXPECT_EQ(transfer.batch.current, index);
        EXPECT_FALSE(b.link.isOpen());
        EXPECT_EQ(transfer.failure.kind, FailureKind::Unplugged);
        EXPECT_EQ(transfer.failure.port, kReaderPort);
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore - 1) << "only the reader's side went";

        // The port is gone for good: opening it again fails at once instead of hanging.
        const std::int64_t before = steadyMs();
        SerialLink again(b.map(), b.clock);
        EXPECT_FALSE(again.open(kReaderPort));
        EXPECT_LT(steadyMs() - before, 100);
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore - 1);
    }
}

// A reader unplugged while its probe waits for the answer is given up at the next tick, not
// after the five seconds a silent port gets, and the search goes on with the next port.
TEST(SerialFaults, ReaderGoneDuringItsProbeIsSkippedAtOnce) {
    ReaderBench b;
    ASSERT_TRUE(b.ready());
    const int descriptorsBefore = openDescriptorCount();
    b.engine.transfer().mode = TransferMode::AutoDetect;
    b.engine.transfer().port = -1;
    b.engine.start();
    b.tick(); // the keyboard probe
    b.clock.advance(TransferEngine::kKeyboardProbeLimitSeconds * 1000 + 1000);
    b.tick(); // no O from the keyboard line: on to COM1
    while (b.engine.probeIndex() < kReaderPort && !b.engine.finished()) {
        b.tick(); // COM1 and COM2 do not exist
    }
    b.tick(); // COM3 opens and the probe goes out
    ASSERT_EQ(b.engine.probeIndex(), kReaderPort);
    ASSERT_EQ(b.engine.detectStep(), DetectStep::AwaitProbeAnswer);
    ASSERT_EQ(b.pty.receive(2), (Bytes{0x1B, 0x00}));
    ASSERT_TRUE(b.link.isOpen());

    b.pty.closeMaster();
    const std::int64_t goneAt = b.clock.nowMilliseconds();
    b.tick();
    EXPECT_EQ(b.engine.probeIndex(), kReaderPort + 1);
    EXPECT_FALSE(b.link.isOpen());
    EXPECT_LT(b.clock.nowMilliseconds() - goneAt, 1000);
    while (!b.engine.finished()) {
        b.tick();
    }
    EXPECT_EQ(b.engine.transfer().port, -1);
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore - 1);
}

// Replies at the edge of a reply slot, through the whole command: a version text of 255
// characters with no zero byte ends at the slot's end, and a read-back block that announces
// 255 bytes where 9 were asked fails without touching the settings.
TEST(SerialFaults, RepliesAsLongAsASlotStayInsideIt) {
    ReaderBench b;
    ASSERT_TRUE(b.ready());
    OperationsBench<EngineTransactionRunner> bench(b.clock, b.link, b.io);
    bench.factoryOnSerial(kReaderPort);
    // The reader answers the first frame of each command with `reply`, once the frame is out.
    Bytes reply;
    std::size_t frameLength = 0;
    bool answered = false;
    bench.runner.hook = [&](TransferEngine& engine, std::int64_t) {
        if (answered || engine.exchangeStep() != ExchangeStep::AwaitEcho) {
            return;
        }
        answered = true;
        ASSERT_EQ(b.pty.receive(frameLength).size(), frameLength);
        ASSERT_TRUE(b.pty.send(reply));
    };

    const std::string text(255, 'V');
    reply = {0x1B, 0x01, 0xFF};
    reply.insert(reply.end(), text.begin(), text.end());
    frameLength = 2;
    bench.firmwareVersion();
    ASSERT_TRUE(answered);
    ASSERT_TRUE(bench.outcome.done());
    EXPECT_EQ(bench.outcome.versionText, text);
    EXPECT_FALSE(bench.runner.hitLimit());

    const SettingsImage before = bench.image;
    reply = {0x1B, 0x1C, 0xC0, 0x00, 0xFF};
    reply.insert(reply.end(), 255, 0x5A);
    frameLength = 5;
    answered = false;
    bench.loadMainSettings();
    ASSERT_TRUE(answered);
    expectOutcome(bench.outcome, OutcomeStatus::Failed, FailureKind::UnexpectedAnswer);
    EXPECT_EQ(bench.image.raw(), before.raw());
    EXPECT_FALSE(bench.runner.hitLimit());
    EXPECT_FALSE(b.link.isOpen());
}

// The reasons a real port gives: held by another descriptor, no device at all, a file that is
// no terminal, a reader that stays silent, and one that acknowledges wrongly.
TEST(SerialFaults, EachFailureNamesItsReason) {
    ReaderBench b;
    ASSERT_TRUE(b.ready());
    const auto runVersionQuery = [&b](int port) -> const Transfer& {
        Transfer& transfer = b.engine.transfer();
        transfer = Transfer{};
        transfer.mode = TransferMode::Exchange;
        transfer.port = port;
        CommandFrame::firmwareVersion().putInto(transfer.batch, 0);
        transfer.batch.count = 1;
        b.engine.start();
        for (int i = 0; i < 4 && !b.engine.finished(); ++i) {
            b.tick();
        }
        return transfer;
    };
    const std::string device = (b.ports.path() / "com3").string();

    {
        SerialLink holder(b.map(), b.clock);
        ASSERT_TRUE(holder.open(kReaderPort));
        const Transfer& held = runVersionQuery(kReaderPort);
        EXPECT_EQ(held.failure.kind, FailureKind::InUse);
        EXPECT_EQ(held.failure.device, device);
    }
    const Transfer& missing = runVersionQuery(2);
    EXPECT_EQ(missing.failure.kind, FailureKind::NoSuchPort);
    EXPECT_EQ(missing.failure.tried,
              (std::vector<std::string>{(b.ports.path() / "com2").string()}));

    { std::ofstream(b.ports.path() / "com4") << "not a port"; }
    EXPECT_EQ(runVersionQuery(4).failure.kind, FailureKind::NotSerial);

    const Transfer& silent = runVersionQuery(kReaderPort);
    EXPECT_EQ(silent.failure.kind, FailureKind::NoAnswer);
    EXPECT_EQ(silent.failure.waitedMs, TransferEngine::kSerialWorkPeriodMs);

    // A write block answered with a wrong acknowledgement: its bytes come with the reason.
    Transfer& transfer = b.engine.transfer();
    transfer = Transfer{};
    transfer.mode = TransferMode::Exchange;
    transfer.port = kReaderPort;
    SettingsImage image;
    writeFactoryValues(image);
    ProgrammingBatch::fillSerial(image, transfer.batch);
    b.engine.start();
    b.tick();
    ASSERT_EQ(b.pty.receive(static_cast<std::size_t>(transfer.batch.lengths[0])).size(),
              static_cast<std::size_t>(transfer.batch.lengths[0]));
    ASSERT_TRUE(b.pty.send({0x1B, 0x1D, 0x00, 0x00, 0x00, 0xAA}));
    for (int i = 0; i < 3 && !b.engine.finished(); ++i) {
        b.tick();
    }
    EXPECT_EQ(transfer.failure.kind, FailureKind::UnexpectedAnswer);
    EXPECT_EQ(transfer.failure.received, (Bytes{0x1B, 0x1D, 0x00, 0x00, 0x00, 0xAA}));
    EXPECT_FALSE(b.link.isOpen());
}

// The late reply of an exchange cut short, still in the port when the next transaction opens it,
// is dropped there: the next transaction reads only what comes after its open.
TEST(SerialFaults, BytesThatArrivedBeforeTheOpenAreNotRead) {
    ReaderBench bench;
    ASSERT_TRUE(bench.ready());
    ASSERT_TRUE(bench.pty.send({0x1B, 0x1D, 0x01, 0xAA}));
    ASSERT_TRUE(bench.link.open(kReaderPort));
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(bench.link.read(buffer.data(), 8).count, 0);
    ASSERT_TRUE(bench.pty.send({0x1B, 0x05}));
    EXPECT_EQ(bench.link.read(buffer.data(), 8).count, 2);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 2), (Bytes{0x1B, 0x05}));
    EXPECT_TRUE(bench.pty.receive(1, 0).empty()) << "nothing is sent";
}

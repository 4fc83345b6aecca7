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

#include <chrono>
#include <cstdint>
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
    SerialLink link{map()};
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
        std::int32_t stateWhenGone;
    };
    const Case cases[] = {
        {"before the second frame goes out", true, false, 0, TransferEngine::SendNext},
        {"before the second frame's echo", true, true, 0, TransferEngine::AwaitEcho},
        {"after the echo of ESC", true, true, 1, TransferEngine::AwaitCommandEcho},
        {"after the command echo", true, true, 2, TransferEngine::ReadAcknowledge},
        {"before the length of a counted reply", false, true, 2, TransferEngine::ReadCountedReply},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReaderBench b;
        ASSERT_TRUE(b.ready());
        const int descriptorsBefore = openDescriptorCount();

        Transfer& transfer = b.engine.transfer();
        transfer.mode = Exchange;
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
            ASSERT_EQ(transfer.batch.result, 1);
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
        ASSERT_EQ(b.engine.state(), c.stateWhenGone);

        b.pty.closeMaster();
        b.tick();
        EXPECT_TRUE(b.engine.finished());
        EXPECT_EQ(b.engine.endCode(), TransferEngine::kEndOk);
        EXPECT_EQ(transfer.batch.result, -1);
        EXPECT_EQ(transfer.batch.current, index);
        EXPECT_FALSE(b.link.isOpen());
        EXPECT_EQ(b.link.lastError(), SerialError::DeviceLost);
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore - 1) << "only the reader's side went";

        // The port is gone for good: opening it again fails at once instead of hanging.
        const std::int64_t before = steadyMs();
        SerialLink again(b.map());
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
    b.engine.transfer().mode = AutoDetect;
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
    ASSERT_EQ(b.engine.state(), TransferEngine::AwaitProbeAnswer);
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
        if (answered || engine.state() != TransferEngine::AwaitEcho) {
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
    bench.operations.detectFirmwareVersion();
    ASSERT_TRUE(answered);
    ASSERT_EQ(bench.messages.shown.size(), 1U);
    EXPECT_EQ(bench.messages.shown[0].text, text);
    EXPECT_EQ(bench.messages.shown[0].caption, "r550tool");
    EXPECT_FALSE(bench.runner.hitLimit());

    bench.messages.shown.clear();
    const SettingsImage before = bench.image;
    reply = {0x1B, 0x1C, 0xC0, 0x00, 0xFF};
    reply.insert(reply.end(), 255, 0x5A);
    frameLength = 5;
    answered = false;
    bench.operations.loadMainSettingsFromReader();
    ASSERT_TRUE(answered);
    ASSERT_EQ(bench.messages.shown.size(), 1U);
    EXPECT_EQ(bench.messages.shown[0].text, "Load Error");
    EXPECT_EQ(bench.image.raw(), before.raw());
    EXPECT_FALSE(bench.runner.hitLimit());
    EXPECT_FALSE(b.link.isOpen());
}

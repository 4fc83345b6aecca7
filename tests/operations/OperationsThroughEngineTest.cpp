// The device commands run through the real transfer engine, against a scripted reader on the
// fake serial port and recording port I/O for the keyboard line.
#include "link/KeyboardPortLink.h"
#include "link/PortIo.h"
#include "link/TransferEngine.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsFile.h"
#include "support/EngineTransactionRunner.h"
#include "support/OperationsBench.h"
#include "support/SettingsByName.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using EngineBench = OperationsBench<EngineTransactionRunner>;

// A reader on RS232 with its own setting memory (groups 0xC0 and 0xC1): write blocks are stored
// and acknowledged, read blocks answered from memory, the version query answered with a counted
// text, the factory reset with a counted status byte. Every frame is echoed first.
class ScriptedReader {
public:
    explicit ScriptedReader(FakeSerialPort& port) {
        port.onWrite = [this](FakeSerialPort& p, const Bytes& frame) { answer(p, frame); };
    }

    std::uint8_t& at(std::uint8_t group, std::uint8_t subCode) {
        return memory_.at(group == 0xC1 ? 1U : 0U).at(subCode);
    }

    std::string version = "V1.00";
    // A reader that has gone quiet after its first echo byte: the engine waits for the command
    // echo until CANCEL or Escape.
    bool stallAfterEcho = false;
    // Announces one byte less than asked for in every block reply.
    bool wrongBlockLength = false;
    std::vector<Bytes> frames;

private:
    void answer(FakeSerialPort& port, const Bytes& frame) {
        frames.push_back(frame);
        if (frame.size() < 2) {
            return;
        }
        if (stallAfterEcho) {
            port.queueRead({frame[0]});
            return;
        }
        switch (frame[1]) {
        case 0x1D: {
            for (std::size_t i = 5; i < frame.size(); ++i) {
                at(frame[2], static_cast<std::uint8_t>(frame[3] + i - 5)) = frame[i];
            }
            port.queueRead(FakeSerialPort::acknowledgement(frame));
            break;
        }
        case 0x1C: {
            Bytes data;
            for (int i = 0; i < frame[4]; ++i) {
                data.push_back(at(frame[2], static_cast<std::uint8_t>(frame[3] + i)));
            }
            if (wrongBlockLength) {
                data.pop_back();
            }
            port.queueRead(FakeSerialPort::blockReply(frame, data));
            break;
        }
        case 0x01:
            port.queueRead(
                FakeSerialPort::countedReply(frame, Bytes(version.begin(), version.end())));
            break;
        default:
            port.queueRead(FakeSerialPort::countedReply(frame, {0x00}));
            break;
        }
    }

    std::array<std::array<std::uint8_t, 256>, 2> memory_{};
};

std::vector<Bytes> writtenFrames(const FakeSerialPort& port) {
    std::vector<Bytes> out;
    for (const auto& w : port.writes) {
        out.push_back(w.bytes);
    }
    return out;
}

TEST(SerialThroughEngine, ProgrammingSendsSixAcknowledgedFrames) {
    EngineBench bench;
    bench.factoryOnSerial(3);
    bench.runner.serial().allowPort(3);
    ScriptedReader reader(bench.runner.serial());
    bench.programViaSerial();

    expectOutcome(bench.outcome, OutcomeStatus::Done);
    const std::vector<Bytes> frames = writtenFrames(bench.runner.serial());
    ASSERT_EQ(frames.size(), 6U);
    EXPECT_EQ(frames[0], (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x09, 0x86, 0x01, 0x0A, 0x05, 0x80, 0xA3,
                                0xA3, 0xA3, 0x83}));
    EXPECT_EQ(frames[5], (Bytes{0x1B, 0x1D, 0xC0, 0x10, 0x04, 0x4E, 0x4E, 0x4E, 0x00}));
    for (std::size_t i = 1; i <= 4; ++i) {
        EXPECT_EQ(frames[i].size(), 21U) << i;
    }
    EXPECT_EQ(reader.at(0xC1, 0x20), 0x02);
    EXPECT_EQ(reader.at(0xC1, 0x21), 'T');
    EXPECT_FALSE(bench.runner.serial().isOpen());
    // Four ticks of 500 ms per frame.
    RecordProperty("elapsedMs", std::to_string(bench.runner.lastElapsedMs()));
    EXPECT_GE(bench.runner.lastElapsedMs(), 6 * 4 * 500);
}

TEST(SerialThroughEngine, WhatIsProgrammedReadsBack) {
    EngineBench source;
    source.factoryOnSerial(3);
    flagsOf(source.image, "main") = 0x00;
    byteOf(source.image, "main.baud_rate") = 7;
    flagsOf(source.image, "iso3") = 0x41;
    source.image.data(23)[0] = 0x5A;
    const Bytes prefix{0x07, 'A', 'B', 'C', 'D', 'E', 'F', 'G'};
    std::copy(prefix.begin(), prefix.end(), recordOf(source.image, "track3.prefix"));
    source.runner.serial().allowPort(3);
    ScriptedReader reader(source.runner.serial());
    source.programViaSerial();
    ASSERT_TRUE(source.outcome.done());

    // A second block, all factory, with a string that is longer than what the reader holds.
    EngineBench target;
    target.factoryOnSerial(3);
    const Bytes longSuffix{0x05, '1', '2', '3', '4', '5', '6', '7'};
    std::copy(longSuffix.begin(), longSuffix.end(), recordOf(target.image, "msr.suffix"));
    target.runner.serial().allowPort(3);
    target.runner.serial().onWrite = source.runner.serial().onWrite;
    SettingsImage expected = target.image;
    flagsOf(expected, "main") = 0x00;
    byteOf(expected, "main.baud_rate") = 7;
    flagsOf(expected, "iso3") = 0x41;
    expected.data(23)[0] = 0x5A;
    std::copy(prefix.begin(), prefix.end(), recordOf(expected, "track3.prefix"));
    recordOf(expected, "msr.suffix")[0] = 0x02;
    recordOf(expected, "msr.suffix")[1] = 'C';
    recordOf(expected, "msr.suffix")[2] = 'R';
    target.loadMainSettings();

    expectOutcome(target.outcome, OutcomeStatus::Done);
    EXPECT_EQ(target.image.raw(), expected.raw());
    ASSERT_EQ(reader.frames.size(), 9U);
    EXPECT_EQ(reader.frames[7], (Bytes{0x1B, 0x1C, 0xC1, 0x10, 0x40}));
}

TEST(SerialThroughEngine, FailuresCarryTheirReason) {
    // COM2 has no device.
    EngineBench noPort;
    noPort.factoryOnSerial(2);
    noPort.programViaSerial();
    expectOutcome(noPort.outcome, OutcomeStatus::Failed, FailureKind::NoSuchPort);
    EXPECT_EQ(noPort.outcome.failure.port, 2);
    EXPECT_EQ(noPort.outcome.failure.tried, (std::vector<std::string>{"/dev/fake2"}));

    // Another program holds COM3; this user may not open COM4.
    EngineBench held;
    held.factoryOnSerial(3);
    held.runner.serial().holdPort(3);
    held.programViaSerial();
    expectOutcome(held.outcome, OutcomeStatus::Failed, FailureKind::InUse);
    EXPECT_EQ(held.outcome.failure.device, "/dev/fake3");
    EngineBench denied;
    denied.factoryOnSerial(4);
    denied.runner.serial().denyPort(4);
    denied.programViaSerial();
    expectOutcome(denied.outcome, OutcomeStatus::Failed, FailureKind::NoPermission);
    EXPECT_EQ(denied.outcome.failure.group, "dialout");

    // A reader that answers a read block with the wrong length.
    EngineBench wrongLength;
    wrongLength.factoryOnSerial(2);
    wrongLength.runner.serial().allowPort(2);
    ScriptedReader reader(wrongLength.runner.serial());
    reader.wrongBlockLength = true;
    const SettingsImage before = wrongLength.image;
    wrongLength.loadMainSettings();
    expectOutcome(wrongLength.outcome, OutcomeStatus::Failed, FailureKind::UnexpectedAnswer);
    // The echo, the two unexamined bytes and the wrong length 8.
    EXPECT_EQ(wrongLength.outcome.failure.received, (Bytes{0x1B, 0x1C, 0x00, 0x00, 0x08}));
    EXPECT_EQ(wrongLength.image.raw(), before.raw());

    // Silent reader: no echo by the first tick after the write.
    EngineBench silent;
    silent.factoryOnSerial(4);
    silent.runner.serial().allowPort(4);
    silent.firmwareVersion();
    EXPECT_EQ(silent.runner.lastEndCode(), EndCode::Ended);
    expectOutcome(silent.outcome, OutcomeStatus::Failed, FailureKind::NoAnswer);
    EXPECT_EQ(silent.outcome.failure.waitedMs, 500);
    EXPECT_EQ(silent.outcome.failure.port, 4);

    // A wrong acknowledgement.
    EngineBench wrongAck;
    wrongAck.factoryOnSerial(5);
    wrongAck.runner.serial().allowPort(5);
    wrongAck.runner.serial().onWrite = [](FakeSerialPort& port, const Bytes& frame) {
        port.queueRead({frame[0], frame[1], 0x00, 0x00, 0x01, 0xAB});
    };
    wrongAck.programViaSerial();
    expectOutcome(wrongAck.outcome, OutcomeStatus::Failed, FailureKind::UnexpectedAnswer);
    EXPECT_EQ(wrongAck.outcome.failure.received, (Bytes{0x1B, 0x1D, 0x00, 0x00, 0x01, 0xAB}));

    // Unplugged after the first frame was acknowledged.
    EngineBench unplugged;
    unplugged.factoryOnSerial(6);
    unplugged.runner.serial().allowPort(6);
    unplugged.runner.serial().onWrite = [frames = 0](FakeSerialPort& port,
                                                     const Bytes& frame) mutable {
        if (++frames == 1) {
            port.queueRead(FakeSerialPort::acknowledgement(frame));
        } else {
            port.loseDevice();
        }
    };
    unplugged.programViaSerial();
    expectOutcome(unplugged.outcome, OutcomeStatus::Failed, FailureKind::Unplugged);
    EXPECT_EQ(unplugged.outcome.failure.port, 6);
}

TEST(SerialThroughEngine, CancelAndEscapeDuringAStalledReader) {
    EngineBench cancelled;
    cancelled.factoryOnSerial(5);
    cancelled.runner.serial().allowPort(5);
    ScriptedReader stalled(cancelled.runner.serial());
    stalled.stallAfterEcho = true;
    cancelled.runner.hook =
        EngineTransactionRunner::at(5000, [](TransferEngine& e) { e.cancel(); });
    cancelled.loadMainSettings();
    expectOutcome(cancelled.outcome, OutcomeStatus::Cancelled);
    EXPECT_FALSE(cancelled.runner.serial().isOpen());

    EngineBench escaped;
    escaped.factoryOnSerial(5);
    escaped.runner.serial().allowPort(5);
    ScriptedReader stalledToo(escaped.runner.serial());
    stalledToo.stallAfterEcho = true;
    escaped.runner.hook = EngineTransactionRunner::at(5000, [](TransferEngine& e) { e.escape(); });
    escaped.programViaSerial();
    EXPECT_EQ(escaped.runner.lastEndCode(), EndCode::Escape);
    expectOutcome(escaped.outcome, OutcomeStatus::Dismissed);
    EXPECT_FALSE(escaped.runner.serial().isOpen());
}

TEST(SerialThroughEngine, VersionTextIsShown) {
    EngineBench bench;
    bench.factoryOnSerial(1);
    bench.runner.serial().allowPort(1);
    ScriptedReader reader(bench.runner.serial());
    bench.firmwareVersion();
    expectOutcome(bench.outcome, OutcomeStatus::Done);
    EXPECT_EQ(bench.outcome.versionText, "V1.00");
    EXPECT_EQ(reader.frames, (std::vector<Bytes>{{0x1B, 0x01}}));
}

TEST(SerialThroughEngine, ResetConfirmedAndUnconfirmed) {
    EngineBench confirmed;
    confirmed.factoryOnSerial(6);
    flagsOf(confirmed.image, "msr") = 0x00;
    confirmed.runner.serial().allowPort(6);
    ScriptedReader reader(confirmed.runner.serial());
    confirmed.resetReader();
    expectOutcome(confirmed.outcome, OutcomeStatus::Done);
    EXPECT_EQ(reader.frames, (std::vector<Bytes>{{0x1B, 0x21, 0x01, 0xFF}}));
    EXPECT_EQ(flagsOf(confirmed.image, "msr"), 0x83);

    // No reader found at start (mode 3, port 0xFF): nothing is sent.
    EngineBench notFound;
    notFound.factoryOnSerial(0xFF);
    byteOf(notFound.image, "main.operating_mode") = SettingTable::kModeNotFound;
    flagsOf(notFound.image, "msr") = 0x00;
    notFound.resetReader();
    expectOutcome(notFound.outcome, OutcomeStatus::Failed, FailureKind::NoPortSelected);
    EXPECT_TRUE(notFound.runner.received.empty());
    EXPECT_EQ(byteOf(notFound.image, "main.operating_mode"), SettingTable::kModeRs232);
    EXPECT_EQ(flagsOf(notFound.image, "msr"), 0x83);
    SettingsImage file;
    ASSERT_EQ(readSettingsFile(file, notFound.defaultFile), 0);
    EXPECT_EQ(file.raw(), notFound.image.raw());
}

std::vector<std::uint8_t> portValues(const RecordingPortIo& io) {
    std::vector<std::uint8_t> out;
    for (const auto& w : io.writes) {
        EXPECT_EQ(w.port, KeyboardPortLink::kPort);
        out.push_back(w.value);
    }
    return out;
}

TEST(KeyboardThroughEngine, ProgrammingFactoryImageIs168PortWrites) {
    EngineBench bench;
    bench.factoryOnSerial(0);
    byteOf(bench.image, "main.operating_mode") = SettingTable::kModeKeyboardWedge;
    bench.programViaKeyboard();

    expectOutcome(bench.outcome, OutcomeStatus::Done);
    const Bytes values = portValues(bench.runner.portIo());
    ASSERT_EQ(values.size(), 168U);
    EXPECT_EQ(Bytes(values.begin(), values.begin() + 7),
              (Bytes{0x1B, 0x1D, 0xC0, 0x00, 0x01, 0x86, 0x47}));
    EXPECT_EQ(Bytes(values.end() - 2, values.end()), (Bytes{0x1B, 0x30}));
    EXPECT_TRUE(bench.runner.serial().writes.empty());
    // 100 ms a byte, no pause after the closing 0x30: the send holds the thread for ~16.7 s.
    RecordProperty("elapsedMs", std::to_string(bench.runner.lastElapsedMs()));
    EXPECT_GE(bench.runner.lastElapsedMs(), 167 * 100);
}

TEST(KeyboardThroughEngine, ResetInTheKeyboardLine) {
    EngineBench bench;
    bench.factoryOnSerial(0);
    byteOf(bench.image, "main.operating_mode") = SettingTable::kModeKeyboardWedge;
    byteOf(bench.image, "main.char_code_delay") = 200;
    bench.resetReader();

    expectOutcome(bench.outcome, OutcomeStatus::Done);
    EXPECT_EQ(portValues(bench.runner.portIo()), (Bytes{0x1B, 0x21, 0x01, 0xE0, 0x1F, 0xC4}));
    EXPECT_EQ(byteOf(bench.image, "main.operating_mode"), SettingTable::kModeKeyboardWedge);
    EXPECT_EQ(byteOf(bench.image, "main.char_code_delay"), 10);
    EXPECT_TRUE(bench.runner.serial().writes.empty());
}

TEST(KeyboardThroughEngine, NoAccessToThePortFailsWithoutAWrite) {
    for (const auto& [access, kind] : std::vector<std::pair<PortAccess, FailureKind>>{
             {PortAccess::Denied, FailureKind::NoKeyboardAccess},
             {PortAccess::Refused, FailureKind::KeyboardAccessRefused},
             {PortAccess::Lost, FailureKind::KeyboardHelperLost},
             {PortAccess::Busy, FailureKind::KeyboardInUse},
             {PortAccess::Misconfigured, FailureKind::PortIoSettingUnknown}}) {
        EngineBench program;
        program.factoryOnSerial(0);
        byteOf(program.image, "main.operating_mode") = SettingTable::kModeKeyboardWedge;
        program.runner.portIo().access = access;
        program.programViaKeyboard();
        expectOutcome(program.outcome, OutcomeStatus::Failed, kind);
        EXPECT_TRUE(program.runner.portIo().writes.empty());

        // The reset fails the same way and still applies the factory values.
        EngineBench reset;
        reset.factoryOnSerial(0);
        byteOf(reset.image, "main.operating_mode") = SettingTable::kModeKeyboardWedge;
        byteOf(reset.image, "main.char_code_delay") = 200;
        reset.runner.portIo().access = access;
        reset.resetReader();
        expectOutcome(reset.outcome, OutcomeStatus::Failed, kind);
        EXPECT_TRUE(reset.runner.portIo().writes.empty());
        EXPECT_EQ(byteOf(reset.image, "main.char_code_delay"), 10);
    }
}

TEST(KeyboardThroughEngine, WaitsForAccessThenSendsWithTheSamePacing) {
    // The operator authenticates for a second: the ticks go on, then the batch goes out whole.
    EngineBench bench;
    bench.factoryOnSerial(0);
    bench.runner.portIo().pendingRequests = 10;
    bench.programViaKeyboard();
    expectOutcome(bench.outcome, OutcomeStatus::Done);
    const auto& writes = bench.runner.portIo().writes;
    ASSERT_EQ(writes.size(), 168U);
    EXPECT_EQ(writes[1].atMs - writes[0].atMs, 100);
}

TEST(KeyboardThroughEngine, AByteThatDoesNotReachThePortFailsTheSend) {
    EngineBench bench;
    bench.factoryOnSerial(0);
    bench.runner.portIo().failWritesAfter = 20;
    bench.programViaKeyboard();
    expectOutcome(bench.outcome, OutcomeStatus::Failed, FailureKind::NoKeyboardAccess);
    // The send stops at the byte that failed.
    EXPECT_EQ(bench.runner.portIo().writes.size(), 20U);
}

} // namespace

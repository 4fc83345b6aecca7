#pragma once

#include "link/Transfer.h"
#include "operations/DeviceOperations.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "support/SettingsByName.h"
#include "support/TempFolder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// How a transfer ends (and the failure the runner reports with it), and what a command then
// reports.
struct TransferEnding {
    EndCode endCode;
    TransferResult result;
    OutcomeStatus status;
    FailureKind failure = FailureKind::None;
};

// The device commands wired to a runner, with the default file in a folder of its own.
// The runner type is a parameter so the same bench drives the commands through a scripted
// runner or through the real engine.
template <typename Runner> struct OperationsBench {
    template <typename... RunnerArgs>
    explicit OperationsBench(RunnerArgs&&... runnerArgs)
        : runner(std::forward<RunnerArgs>(runnerArgs)...),
          defaultFile((folder.path() / "Default.cfg").string()), operations(runner) {}

    // Each command on the bench's block; the outcome is also kept in `outcome`.
    Outcome programViaKeyboard() { return outcome = operations.programViaKeyboard(image); }
    Outcome programViaSerial() { return outcome = operations.programViaSerial(image); }
    Outcome loadMainSettings() { return outcome = operations.loadMainSettings(image); }
    Outcome firmwareVersion() { return outcome = operations.firmwareVersion(image); }
    Outcome resetReader() { return outcome = operations.resetReader(image, defaultFile); }

    // Whether the runner received exactly one transfer, in this mode, to this port and of this
    // many frames; that transfer is then runner.last().
    ::testing::AssertionResult sentOne(TransferMode mode, int port, int frames) const {
        if (runner.received.size() != 1U) {
            return ::testing::AssertionFailure()
                   << runner.received.size() << " transfers instead of one";
        }
        const Transfer& t = runner.last();
        if (t.mode != mode || t.port != port || t.batch.count != frames) {
            return ::testing::AssertionFailure()
                   << "mode " << static_cast<int>(t.mode) << ", port " << t.port << ", "
                   << t.batch.count << " frames instead of mode " << static_cast<int>(mode)
                   << ", port " << port << ", " << frames << " frames";
        }
        return ::testing::AssertionSuccess();
    }

    // Every byte of the block different from its neighbours, so that a stray write shows.
    void fillWithPattern() {
        for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
            image.raw()[i] = static_cast<std::uint8_t>(0x30 + (i * 7) % 0xC0);
        }
    }

    // Factory values on an RS232 reader at COM3, as after a start that found it there.
    void factoryOnSerial(std::uint8_t comPort = 3) {
        writeFactoryValues(image);
        byteOf(image, "main.operating_mode") = SettingTable::kModeRs232;
        byteOf(image, "main.com_port") = comPort;
    }

    SettingsImage image;
    Runner runner;
    TempFolder folder;
    std::string defaultFile;
    DeviceOperations operations;
    Outcome outcome;
};

// The bytes of frame i as a sender sees them: its first lengths[i] bytes.
inline std::vector<std::uint8_t> frameBytes(const Transfer& transfer, int i) {
    const auto& slot = transfer.batch.frames.at(static_cast<std::size_t>(i));
    return {slot.begin(), slot.begin() + transfer.batch.usableLength(i)};
}

inline void expectOutcome(const Outcome& outcome, OutcomeStatus status,
                          FailureKind kind = FailureKind::None) {
    EXPECT_EQ(outcome.status, status);
    EXPECT_EQ(outcome.failure.kind, kind);
}

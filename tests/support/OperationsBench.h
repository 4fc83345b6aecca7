#pragma once

#include "link/Transfer.h"
#include "operations/DeviceOperations.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"
#include "support/FakePageHost.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// The device commands wired to recording fakes, with the default file in a folder of its own.
// The runner type is a parameter so the same bench drives the commands through a scripted
// runner or through the real engine.
template <typename Runner> struct OperationsBench {
    static constexpr const char* kApplicationName = "r550tool";

    template <typename... RunnerArgs>
    explicit OperationsBench(RunnerArgs&&... runnerArgs)
        : runner(std::forward<RunnerArgs>(runnerArgs)...),
          defaultFile((folder.path() / "Default.cfg").string()),
          operations(image, runner, messages, pages, kApplicationName, defaultFile) {}

    // Every byte of the block different from its neighbours, so that a stray write shows.
    void fillWithPattern() {
        for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
            image.raw()[i] = static_cast<std::uint8_t>(0x30 + (i * 7) % 0xC0);
        }
    }

    // Factory values on an RS232 reader at COM3, as after a start that found it there.
    void factoryOnSerial(std::uint8_t comPort = 3) {
        writeFactoryValues(image);
        image.operating_mode() = SettingsImage::kModeRs232;
        image.com_port() = comPort;
    }

    SettingsImage image;
    Runner runner;
    RecordingMessages messages;
    FakePageHost pages;
    TempFolder folder;
    std::string defaultFile;
    DeviceOperations operations;
};

// The bytes of frame i as a sender sees them: its first lengths[i] bytes.
inline std::vector<std::uint8_t> frameBytes(const Transfer& transfer, int i) {
    const auto& slot = transfer.batch.frames.at(static_cast<std::size_t>(i));
    return {slot.begin(), slot.begin() + transfer.batch.usableLength(i)};
}

// One ending of a transaction and the message a command must show for it.
struct Outcome {
    int endCode;
    std::int32_t result;
    const char* text; // nullptr: no message
    const char* caption;
};

inline void expectOutcome(const RecordingMessages& messages, const Outcome& o) {
    if (o.text == nullptr) {
        EXPECT_TRUE(messages.shown.empty());
        return;
    }
    ASSERT_EQ(messages.shown.size(), 1U);
    EXPECT_EQ(messages.shown[0].text, o.text);
    EXPECT_EQ(messages.shown[0].caption, o.caption);
}

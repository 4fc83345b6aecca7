#pragma once

#include "link/Transfer.h"
#include "operations/Outcome.h"

#include <cstdint>

class CommandFrame;
class SettingsImage;

// One device command as one transaction, in its two halves: the transfer that a runner runs, and
// what the way the run ended means for the command. The window runs one at a time through
// DeviceOperations and its modal dialog; r550ctl runs one per reader, many side by side, in one
// loop. Both send the same frames and reach the same outcomes, because both go through here.
class DeviceTransaction {
public:
    enum class Kind {
        Detect,
        ProgramViaKeyboard,
        ProgramViaSerial,
        LoadMainSettings,
        FirmwareVersion,
        ResetReader,
    };

    // The search for the reader: the window's probe on the candidates the runner's engine was
    // given (at start the keyboard line, then COM1..COM9; in r550ctl one port each).
    static DeviceTransaction detect();
    // The 21 settings records of the block through the keyboard controller.
    static DeviceTransaction programViaKeyboard(const SettingsImage& image);
    // The six write blocks of the block's settings to serial port `port`.
    static DeviceTransaction programViaSerial(const SettingsImage& image, const PortName& port);
    // The three read blocks of the main settings from serial port `port`.
    static DeviceTransaction loadMainSettings(const PortName& port);
    // The firmware version query on serial port `port`.
    static DeviceTransaction firmwareVersion(const PortName& port);
    // The factory reset on serial port `port`.
    static DeviceTransaction resetReader(const PortName& port);
    // The factory reset in the keyboard line.
    static DeviceTransaction resetReaderInKeyboardLine();

    Kind kind() const { return kind_; }
    // What the runner is given, and leaves the run's results in.
    Transfer& transfer() { return transfer_; }
    const Transfer& transfer() const { return transfer_; }

    // The outcome of the run that ended with endCode: Dismissed after Escape; otherwise Done when
    // the batch succeeded, Failed with the transfer's reason, or Cancelled. A search is done when
    // a reader answered, with its port in detectedPort, and fails with NoAnswer otherwise. A
    // version query that is done carries the reader's text; a read-back that is done is written
    // into `image` (when one is given) and says so.
    Outcome conclude(EndCode endCode, SettingsImage* image = nullptr) const;

private:
    DeviceTransaction(Kind kind, TransferMode mode, std::int32_t port);
    DeviceTransaction(Kind kind, const PortName& port);
    // The batch is this one frame.
    void putOnly(const CommandFrame& frame);

    Kind kind_;
    Transfer transfer_;
};

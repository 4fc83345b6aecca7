#pragma once

#include "operations/Outcome.h"

#include <string>

class DeviceTransaction;
class SettingsImage;
class TransactionRunner;

// The device commands: each builds a frame batch from the settings block, runs it as one
// transaction and hands back how it ended. None shows anything: the window turns the outcome
// into its messages, r550ctl into lines of text. Commands that change the block say so.
class DeviceOperations {
public:
    explicit DeviceOperations(TransactionRunner& runner);

    // The search at start: the keyboard line, then COM1..COM9. Sets operating_mode and com_port
    // to what was found (0xFF both while searching; left so after Escape).
    Outcome detectReader(SettingsImage& image);
    // "via &Keyboard": the 21 settings records through the keyboard controller.
    Outcome programViaKeyboard(const SettingsImage& image);
    // "via &RS232": six write blocks to the port com_port names.
    Outcome programViaSerial(const SettingsImage& image);
    // The reader's main settings into the block (RS232 only).
    Outcome loadMainSettings(SettingsImage& image);
    // The reader's firmware version text (RS232 only).
    Outcome firmwareVersion(const SettingsImage& image);
    // The factory reset: in the keyboard line, or on com_port. Whatever the reader says, the
    // block then returns to the factory values and `defaultFile` is rewritten with them.
    Outcome resetReader(SettingsImage& image, const std::string& defaultFile);

private:
    // The serial port of an RS232-only command; fails the outcome when the block names none.
    // False when the command must not run.
    static bool checkRs232(const SettingsImage& image, Outcome& outcome);
    // Runs the transaction and concludes it (a read-back into `image`).
    Outcome run(DeviceTransaction& transaction, SettingsImage* image = nullptr);

    TransactionRunner& runner_;
};

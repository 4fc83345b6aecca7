#include "operations/DeviceOperations.h"

#include "base/WriteLog.h"
#include "link/Transfer.h"
#include "operations/DeviceTransaction.h"
#include "operations/TransactionRunner.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingTable.h"
#include "settings/SettingsImage.h"

#include <cstdint>
#include <string>

namespace {

Outcome failed(FailureKind kind, int port = 0) {
    Outcome outcome;
    outcome.status = OutcomeStatus::Failed;
    outcome.failure.kind = kind;
    outcome.failure.port = port;
    return outcome;
}

// com_port values that name no serial port: 0 (the reader sits in the keyboard line, or no port
// was selected on the page) and 0xFF (never found). An Exchange on port 0 would send the first
// frame into the keyboard line, which cannot answer, and report success.
bool namesSerialPort(std::uint8_t comPort) {
    return comPort != 0 && comPort != SettingTable::kUnknown;
}

// The window's writes to a reader leave their line in the system log, as r550ctl's do. The
// window programs every setting, or resets them all.
Outcome logged(Outcome outcome, const char* command, const std::string& port, const char* what) {
    const char* word = outcome.status == OutcomeStatus::Done        ? "ok"
                       : outcome.status == OutcomeStatus::Cancelled ? "cancelled"
                       : outcome.status == OutcomeStatus::Dismissed ? "dismissed"
                                                                    : "failed";
    WriteLog::record({command, port, "", word, {}, what});
    return outcome;
}

std::string portLabel(std::uint8_t comPort) {
    return "COM" + std::to_string(comPort);
}

} // namespace

DeviceOperations::DeviceOperations(TransactionRunner& runner) : runner_(runner) {}

Outcome DeviceOperations::run(DeviceTransaction& transaction, SettingsImage* image) {
    const EndCode endCode = runner_.run(transaction.transfer());
    return transaction.conclude(endCode, image);
}

bool DeviceOperations::checkRs232(const SettingsImage& image, Outcome& outcome) {
    const std::uint8_t mode = SettingTable::value(image, SettingTable::kOperatingMode);
    if (mode == SettingTable::kModeKeyboardWedge || mode == SettingTable::kUnknown) {
        outcome = failed(FailureKind::NotRs232);
        return false;
    }
    // Any other mode (RS232, "not found", or a value from a file) goes to the port the block
    // names.
    if (!namesSerialPort(SettingTable::value(image, SettingTable::kComPort))) {
        outcome = failed(FailureKind::NoPortSelected);
        return false;
    }
    return true;
}

Outcome DeviceOperations::detectReader(SettingsImage& image) {
    SettingTable::setValue(image, SettingTable::kOperatingMode, SettingTable::kUnknown);
    SettingTable::setValue(image, SettingTable::kComPort, SettingTable::kUnknown);
    DeviceTransaction transaction = DeviceTransaction::detect();
    Outcome outcome = run(transaction);
    if (outcome.status == OutcomeStatus::Dismissed) {
        return outcome;
    }
    const std::int32_t port = outcome.detectedPort;
    outcome.imageChanged = true;
    if (port == Transfer::kKeyboardLine) {
        SettingTable::setValue(image, SettingTable::kOperatingMode,
                               SettingTable::kModeKeyboardWedge);
        SettingTable::setValue(image, SettingTable::kComPort, 0);
    } else if (port >= 1 && port <= 9) {
        SettingTable::setValue(image, SettingTable::kOperatingMode, SettingTable::kModeRs232);
        SettingTable::setValue(image, SettingTable::kComPort, static_cast<std::uint8_t>(port));
    } else {
        // No reader answered, or one where the window knows no port: the search ends with none.
        SettingTable::setValue(image, SettingTable::kOperatingMode, SettingTable::kModeNotFound);
        outcome.status = OutcomeStatus::Failed;
        outcome.failure.kind = FailureKind::NoAnswer;
        outcome.detectedPort = Transfer::kNoPort;
    }
    return outcome;
}

Outcome DeviceOperations::programViaKeyboard(const SettingsImage& image) {
    DeviceTransaction transaction = DeviceTransaction::programViaKeyboard(image);
    return logged(run(transaction), "program", "keyboard", "all");
}

Outcome DeviceOperations::programViaSerial(const SettingsImage& image) {
    const std::uint8_t port = SettingTable::value(image, SettingTable::kComPort);
    if (!namesSerialPort(port)) {
        return failed(FailureKind::NoPortSelected);
    }
    DeviceTransaction transaction =
        DeviceTransaction::programViaSerial(image, PortName::number(port));
    return logged(run(transaction), "program", portLabel(port), "all");
}

Outcome DeviceOperations::loadMainSettings(SettingsImage& image) {
    Outcome outcome;
    if (!checkRs232(image, outcome)) {
        return outcome;
    }
    DeviceTransaction transaction = DeviceTransaction::loadMainSettings(
        PortName::number(SettingTable::value(image, SettingTable::kComPort)));
    return run(transaction, &image);
}

Outcome DeviceOperations::firmwareVersion(const SettingsImage& image) {
    Outcome outcome;
    if (!checkRs232(image, outcome)) {
        return outcome;
    }
    DeviceTransaction transaction = DeviceTransaction::firmwareVersion(
        PortName::number(SettingTable::value(image, SettingTable::kComPort)));
    return run(transaction);
}

Outcome DeviceOperations::resetReader(SettingsImage& image, const std::string& defaultFile) {
    const std::uint8_t mode = SettingTable::value(image, SettingTable::kOperatingMode);
    if (mode == SettingTable::kUnknown) {
        return {};
    }

    const bool keyboardLine = mode == SettingTable::kModeKeyboardWedge;
    const std::uint8_t port = SettingTable::value(image, SettingTable::kComPort);
    if (!keyboardLine) {
        SettingTable::setValue(image, SettingTable::kOperatingMode, SettingTable::kModeRs232);
    }
    DeviceTransaction transaction = keyboardLine
                                        ? DeviceTransaction::resetReaderInKeyboardLine()
                                        : DeviceTransaction::resetReader(PortName::number(port));

    // Outside keyboard-wedge mode the reset must go to a serial port.
    Outcome outcome = !keyboardLine && !namesSerialPort(port)
                          ? failed(FailureKind::NoPortSelected)
                          : logged(run(transaction), "reset",
                                   keyboardLine ? "keyboard" : portLabel(port), "factory");

    // The block returns to the factory values whether or not the reader confirmed, so that the
    // pages never show settings the reader may no longer hold.
    outcome.defaultFileWritten = applyFactoryDefaults(image, defaultFile) == 0;
    outcome.imageChanged = true;
    return outcome;
}

#include "operations/DeviceOperations.h"

#include "link/CommandFrame.h"
#include "link/Transfer.h"
#include "operations/MainSettingsReadBack.h"
#include "operations/OperatorMessages.h"
#include "operations/PageHost.h"
#include "operations/ProgrammingBatch.h"
#include "operations/TransactionRunner.h"
#include "settings/FactoryDefaults.h"
#include "settings/SettingsImage.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

namespace {

constexpr int kEndOk = 1;

const char* const kSystemCaption = "System message";
const char* const kErrorCaption = "Error message";
const char* const kProgrammingOk = "Programming all value ok!";
const char* const kKeyboardProgrammingError = "Programming all default value error!";
const char* const kSerialProgrammingError = "Programming all value error!";
const char* const kRs232Only = "This function only for rs232!";
const char* const kLoadError = "Load Error";
const char* const kResetOk = "Reset all to default value ok!";
const char* const kResetError = "Reset all to default value error!";

// The keyboard batch always goes to port 0x60; the window has always handed it port 1.
constexpr int kKeyboardBatchPort = 1;
// Exchange on this port sends slot 0 through the keyboard-controller port.
constexpr int kKeyboardLinePort = 0;

} // namespace

DeviceOperations::DeviceOperations(SettingsImage& image, TransactionRunner& runner,
                                   OperatorMessages& messages, PageHost& pages,
                                   std::string applicationName, std::string defaultFile)
    : image_(image), runner_(runner), messages_(messages), pages_(pages),
      applicationName_(std::move(applicationName)), defaultFile_(std::move(defaultFile)) {}

bool DeviceOperations::passesRs232Guard() {
    const std::uint8_t mode = image_.operating_mode();
    if (mode == SettingsImage::kModeKeyboardWedge || mode == SettingsImage::kUnknown) {
        messages_.show(kRs232Only, kErrorCaption);
        return false;
    }
    return true;
}

int DeviceOperations::rs232Port() const {
    // Any mode that passed the guard (RS232, "not found", or a value from a file) goes to the
    // serial port the block names.
    return image_.com_port();
}

void DeviceOperations::programAllViaKeyboard() {
    pages_.storePages();

    Transfer transfer;
    transfer.mode = KeyboardBatch;
    transfer.port = kKeyboardBatchPort;
    ProgrammingBatch::fillKeyboard(image_, transfer.batch);
    runProgramming(transfer, kKeyboardProgrammingError);
}

void DeviceOperations::programAllViaSerial() {
    pages_.storePages();

    // com_port 0 means the reader was found in the keyboard line; an Exchange there would send
    // only the first of the six frames and still report success.
    if (image_.com_port() == kKeyboardLinePort) {
        messages_.show(kSerialProgrammingError, kErrorCaption);
        return;
    }

    Transfer transfer;
    transfer.mode = Exchange;
    transfer.port = image_.com_port();
    ProgrammingBatch::fillSerial(image_, transfer.batch);
    runProgramming(transfer, kSerialProgrammingError);
}

void DeviceOperations::runProgramming(Transfer& transfer, const char* errorText) {
    // Escape closes the window without a word; every other ending is reported.
    if (runner_.run(transfer) != kEndOk) {
        return;
    }
    if (transfer.batch.result == 1) {
        messages_.show(kProgrammingOk, kSystemCaption);
    } else {
        messages_.show(errorText, kErrorCaption);
    }
}

void DeviceOperations::loadMainSettingsFromReader() {
    if (!passesRs232Guard()) {
        return;
    }
    const int port = rs232Port();
    if (port == kKeyboardLinePort) {
        // The keyboard line cannot answer a read block; an Exchange there would report success
        // with empty replies and wipe the settings.
        messages_.show(kLoadError, applicationName_);
        return;
    }

    Transfer transfer;
    transfer.mode = Exchange;
    transfer.port = port;
    MainSettingsReadBack::fill(transfer.batch);

    const int endCode = runner_.run(transfer);
    if (endCode != kEndOk) {
        return;
    }
    if (transfer.batch.result != 1) {
        messages_.show(kLoadError, applicationName_);
        return;
    }
    MainSettingsReadBack::apply(transfer.batch, image_);
    pages_.returnToMainPage();
}

void DeviceOperations::detectFirmwareVersion() {
    if (!passesRs232Guard()) {
        return;
    }
    const int port = rs232Port();
    if (port == kKeyboardLinePort) {
        return; // a failed query shows nothing
    }

    Transfer transfer;
    transfer.mode = Exchange;
    transfer.port = port;
    CommandFrame::firmwareVersion().putInto(transfer.batch, 0);
    transfer.batch.count = 1;

    const int endCode = runner_.run(transfer);
    if (endCode != kEndOk || transfer.batch.result != 1) {
        return;
    }
    // The text ends at its first zero byte; a reply that fills the whole slot has none, so the
    // slot's end bounds it.
    const auto& reply = transfer.batch.replies[0];
    const auto end = std::find(reply.begin(), reply.end(), std::uint8_t{0});
    messages_.show(std::string(reply.begin(), end), applicationName_);
}

void DeviceOperations::resetReaderToFactoryDefault() {
    const std::uint8_t mode = image_.operating_mode();
    if (mode == SettingsImage::kUnknown) {
        return;
    }

    Transfer transfer;
    transfer.mode = Exchange;
    if (mode == SettingsImage::kModeKeyboardWedge) {
        transfer.port = kKeyboardLinePort;
    } else {
        transfer.port = image_.com_port();
        image_.operating_mode() = SettingsImage::kModeRs232;
    }
    CommandFrame::factoryReset().putInto(transfer.batch, 0);
    transfer.batch.count = 1;

    // Outside keyboard-wedge mode the reset must go to a serial port. com_port 0 names none (a
    // Main Settings page stored with no port selected): an Exchange on port 0 would send the
    // frame into the keyboard line, where no answer is possible, and report success.
    if (transfer.port == kKeyboardLinePort && mode != SettingsImage::kModeKeyboardWedge) {
        messages_.show(kResetError, kErrorCaption);
    } else if (runner_.run(transfer) == kEndOk) {
        if (transfer.batch.result == 1) {
            messages_.show(kResetOk, kSystemCaption);
        } else {
            messages_.show(kResetError, kErrorCaption);
        }
    }

    // The block returns to the factory values whether or not the reader confirmed, so that the
    // pages never show settings the reader may no longer hold.
    if (applyFactoryDefaults(
            image_, [this] { pages_.refreshPages(); }, defaultFile_) != 0) {
        messages_.showFileError();
    }
    pages_.returnToMainPage();
}

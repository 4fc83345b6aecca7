#include "operations/DeviceTransaction.h"

#include "link/CommandFrame.h"
#include "operations/MainSettingsReadBack.h"
#include "operations/ProgrammingBatch.h"

#include <algorithm>

namespace {

// The keyboard batch always goes to port 0x60; the window has always handed it port 1.
constexpr std::int32_t kKeyboardBatchPort = 1;

} // namespace

DeviceTransaction::DeviceTransaction(Kind kind, TransferMode mode, std::int32_t port)
    : kind_(kind) {
    transfer_.mode = mode;
    transfer_.port = port;
}

DeviceTransaction::DeviceTransaction(Kind kind, const PortName& port) : kind_(kind) {
    transfer_.mode = TransferMode::Exchange;
    transfer_.setSerialPort(port);
}

DeviceTransaction DeviceTransaction::detect() {
    return DeviceTransaction(Kind::Detect, TransferMode::AutoDetect, Transfer::kNoPort);
}

DeviceTransaction DeviceTransaction::programViaKeyboard(const SettingsImage& image) {
    DeviceTransaction transaction(Kind::ProgramViaKeyboard, TransferMode::KeyboardBatch,
                                  kKeyboardBatchPort);
    ProgrammingBatch::fillKeyboard(image, transaction.transfer_.batch);
    return transaction;
}

DeviceTransaction DeviceTransaction::programViaSerial(const SettingsImage& image,
                                                      const PortName& port) {
    DeviceTransaction transaction(Kind::ProgramViaSerial, port);
    ProgrammingBatch::fillSerial(image, transaction.transfer_.batch);
    return transaction;
}

DeviceTransaction DeviceTransaction::loadMainSettings(const PortName& port) {
    DeviceTransaction transaction(Kind::LoadMainSettings, port);
    MainSettingsReadBack::fill(transaction.transfer_.batch);
    return transaction;
}

DeviceTransaction DeviceTransaction::firmwareVersion(const PortName& port) {
    DeviceTransaction transaction(Kind::FirmwareVersion, port);
    transaction.putOnly(CommandFrame::firmwareVersion());
    return transaction;
}

DeviceTransaction DeviceTransaction::resetReader(const PortName& port) {
    DeviceTransaction transaction(Kind::ResetReader, port);
    transaction.putOnly(CommandFrame::factoryReset());
    return transaction;
}

DeviceTransaction DeviceTransaction::resetReaderInKeyboardLine() {
    DeviceTransaction transaction(Kind::ResetReader, TransferMode::Exchange,
                                  Transfer::kKeyboardLine);
    transaction.putOnly(CommandFrame::factoryReset());
    return transaction;
}

void DeviceTransaction::putOnly(const CommandFrame& frame) {
    frame.putInto(transfer_.batch, 0);
    transfer_.batch.count = 1;
}

Outcome DeviceTransaction::conclude(EndCode endCode, SettingsImage* image) const {
    Outcome outcome;
    if (kind_ == Kind::ProgramViaSerial) {
        // Each acknowledged frame moved the batch on by one.
        outcome.framesInBatch = transfer_.batch.count;
        outcome.framesAcknowledged = transfer_.batch.current;
    }
    if (endCode == EndCode::Escape) {
        outcome.status = OutcomeStatus::Dismissed;
        return outcome;
    }
    if (kind_ == Kind::Detect) {
        // No reader answered, or CANCEL: the search ends with none.
        const bool found = transfer_.port != Transfer::kNoPort;
        outcome.status = found ? OutcomeStatus::Done : OutcomeStatus::Failed;
        outcome.detectedPort = transfer_.port;
        outcome.failure.kind = found ? FailureKind::None : FailureKind::NoAnswer;
        return outcome;
    }
    if (transfer_.batch.result == TransferResult::Success) {
        outcome.status = OutcomeStatus::Done;
    } else if (transfer_.failure.failed()) {
        outcome.status = OutcomeStatus::Failed;
        outcome.failure = transfer_.failure;
        // Once a frame has gone through, the reader has taken part of the block.
        outcome.failure.partlyProgrammed =
            (kind_ == Kind::ProgramViaSerial || kind_ == Kind::ProgramViaKeyboard) &&
            transfer_.batch.current > 0;
    } else {
        outcome.status = OutcomeStatus::Cancelled;
    }
    if (!outcome.done()) {
        return outcome;
    }
    if (kind_ == Kind::FirmwareVersion) {
        // The text ends at its first zero byte; a reply that fills the whole slot has none, so
        // the slot's end bounds it.
        const auto& reply = transfer_.batch.replies[0];
        const auto end = std::find(reply.begin(), reply.end(), std::uint8_t{0});
        outcome.versionText.assign(reply.begin(), end);
    } else if (kind_ == Kind::LoadMainSettings && image != nullptr) {
        MainSettingsReadBack::apply(transfer_.batch, *image);
        outcome.imageChanged = true;
    }
    return outcome;
}

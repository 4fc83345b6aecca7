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
                                                      std::int32_t port) {
    DeviceTransaction transaction(Kind::ProgramViaSerial, TransferMode::Exchange, port);
    ProgrammingBatch::fillSerial(image, transaction.transfer_.batch);
    return transaction;
}

DeviceTransaction DeviceTransaction::loadMainSettings(std::int32_t port) {
    DeviceTransaction transaction(Kind::LoadMainSettings, TransferMode::Exchange, port);
    MainSettingsReadBack::fill(transaction.transfer_.batch);
    return transaction;
}

DeviceTransaction DeviceTransaction::firmwareVersion(std::int32_t port) {
    DeviceTransaction transaction(Kind::FirmwareVersion, TransferMode::Exchange, port);
    CommandFrame::firmwareVersion().putInto(transaction.transfer_.batch, 0);
    transaction.transfer_.batch.count = 1;
    return transaction;
}

DeviceTransaction DeviceTransaction::resetReader(std::int32_t port) {
    DeviceTransaction transaction(Kind::ResetReader, TransferMode::Exchange, port);
    CommandFrame::factoryReset().putInto(transaction.transfer_.batch, 0);
    transaction.transfer_.batch.count = 1;
    return transaction;
}

Outcome DeviceTransaction::conclude(EndCode endCode, SettingsImage* image) const {
    Outcome outcome;
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

#include "link/TransferEngine.h"

#include "link/Clock.h"
#include "link/CommandFrame.h"
#include "link/KeyboardPortLink.h"
#include "link/PortIo.h"
#include "link/SerialPort.h"

#include <utility>

namespace {

constexpr std::uint8_t kAckFirst = 0x01;
constexpr std::uint8_t kAckSecond = 0xAA;
constexpr int kKeyO = 0x4F;

std::size_t at(int index) {
    return static_cast<std::size_t>(index);
}

// Key codes of letters upper-cased as characters; every other code stays as it is.
int upperCased(int key) {
    return key >= 'a' && key <= 'z' ? key - ('a' - 'A') : key;
}

} // namespace

TransferEngine::TransferEngine(Clock& clock, SerialPort& serial, KeyboardPortLink& keyboard)
    : clock_(clock), serial_(serial), keyboard_(keyboard) {}

TransferEngine::~TransferEngine() {
    if (serial_.isOpen()) {
        serial_.close();
    }
}

void TransferEngine::start() {
    finished_ = false;
    endCode_ = EndCode::Running;
    progress_ = 0;
    workPeriodMs_ = 0;
    transfer_.failure = Failure{};
    received_.clear();
    keyboard_.checkDriver();
    FrameBatch& batch = transfer_.batch;
    batch.current = 0;
    exchangeStep_ = ExchangeStep::SendNext;
    detectStep_ = DetectStep::SendProbe;
    probeIndex_ = -1;
    keyboardProbeWaiting_ = false;

    switch (transfer_.mode) {
    case TransferMode::AutoDetect:
    case TransferMode::KeyboardBatch:
        probeIndex_ =
            transfer_.mode == TransferMode::AutoDetect ? firstCandidate_ : kKeyboardCandidate;
        batch.result = TransferResult::Unknown;
        workPeriodMs_ = kFastWorkPeriodMs;
        break;
    case TransferMode::Exchange:
        if (transfer_.port == Transfer::kKeyboardLine) {
            batch.result = TransferResult::Unknown;
            workPeriodMs_ = kFastWorkPeriodMs;
        } else if (transfer_.port < 0 && transfer_.port != Transfer::kDevicePath) {
            // "No reader found": nothing can be sent.
            failExchange(FailureKind::NoPortSelected);
        } else if (serial_.open(transfer_.serialPort())) {
            batch.result = TransferResult::Unknown;
            workPeriodMs_ = kSerialWorkPeriodMs;
        } else {
            failFromPort();
        }
        break;
    default:
        // No work timer: the bar moves until the operator closes the window.
        break;
    }
}

void TransferEngine::workTick() {
    if (finished_ || workPeriodMs_ == 0) {
        return;
    }
    switch (transfer_.mode) {
    case TransferMode::AutoDetect:
        runDetectStep();
        break;
    case TransferMode::Exchange:
        if (transfer_.port == Transfer::kKeyboardLine) {
            sendKeyboardFrame();
        } else {
            runExchangeStep();
        }
        break;
    case TransferMode::KeyboardBatch:
        sendKeyboardBatch();
        break;
    default:
        break;
    }
}

void TransferEngine::progressTick() {
    if (finished_) {
        return;
    }
    stepProgress();
}

void TransferEngine::stepProgress() {
    progress_ = progress_ >= kProgressMaximum ? 0 : progress_ + 1;
    if (progressListener_) {
        progressListener_(progress_);
    }
    clock_.sleepMilliseconds(kProgressPauseMs);
}

void TransferEngine::keyDown(int key) {
    if (finished_) {
        return;
    }
    // A reader in the keyboard line answers the keyboard probe by typing O. The rule holds in
    // the wait of every candidate, so an O typed while a serial port is probed also counts.
    if (transfer_.mode == TransferMode::AutoDetect && detectStep_ == DetectStep::AwaitProbeAnswer &&
        upperCased(key) == kKeyO) {
        detectStep_ = DetectStep::Found;
        transfer_.port = Transfer::kKeyboardLine;
        if (serial_.isOpen()) {
            serial_.close();
        }
    }
}

void TransferEngine::cancel() {
    if (finished_) {
        return;
    }
    transfer_.batch.result = TransferResult::Failure;
    finish(EndCode::Ended);
}

void TransferEngine::escape() {
    if (finished_) {
        return;
    }
    finish(EndCode::Escape);
}

void TransferEngine::timeOut(int waitedMs) {
    if (finished_) {
        return;
    }
    if (transfer_.mode == TransferMode::AutoDetect) {
        if (detectStep_ == DetectStep::AwaitProbeAnswer && probeIndex_ != kKeyboardCandidate) {
            nextCandidate();
        }
        return;
    }
    if (transfer_.mode != TransferMode::Exchange || transfer_.port == Transfer::kKeyboardLine) {
        return;
    }
    if (exchangeStep_ == ExchangeStep::SendNext) {
        return;
    }
    Failure failure;
    failure.kind =
        exchangeStep_ == ExchangeStep::AwaitEcho ? FailureKind::NoAnswer : FailureKind::NoReply;
    failure.waitedMs = waitedMs;
    failExchange(std::move(failure));
}

void TransferEngine::finish(EndCode endCode) {
    if (serial_.isOpen()) {
        serial_.close();
    }
    workPeriodMs_ = 0;
    finished_ = true;
    endCode_ = endCode;
}

// --- keyboard-controller port -------------------------------------------------------------

bool TransferEngine::keyboardAccessGranted() {
    const PortAccess access = keyboard_.requestAccess();
    if (access == PortAccess::Granted) {
        return true;
    }
    // While the operator is still authenticating (Pending) the window stays responsive.
    if (access != PortAccess::Pending) {
        failExchange(KeyboardPortLink::accessFailure(access));
    }
    return false;
}

void TransferEngine::failKeyboardSend() {
    // A byte that did not reach the port: the helper went away, or the access was taken back.
    failExchange(keyboard_.requestAccess() == PortAccess::Lost ? FailureKind::KeyboardHelperLost
                                                               : FailureKind::NoKeyboardAccess);
}

void TransferEngine::sendKeyboardBatch() {
    if (!keyboardAccessGranted()) {
        return;
    }
    workPeriodMs_ = 0;
    transfer_.batch.result = TransferResult::Unknown;
    // The send holds the thread for its whole length, so no timer tick moves the bar meanwhile:
    // step it after every slot as a tick would.
    if (!keyboard_.sendBatch(transfer_.batch, [this] { stepProgress(); })) {
        failKeyboardSend();
        return;
    }
    transfer_.batch.result = TransferResult::Success;
    finish(EndCode::Ended);
}

void TransferEngine::sendKeyboardFrame() {
    if (!keyboardAccessGranted()) {
        return;
    }
    workPeriodMs_ = 0;
    if (!keyboard_.sendFrame(transfer_.batch)) {
        failKeyboardSend();
        return;
    }
    transfer_.batch.result = TransferResult::Success;
    finish(EndCode::Ended);
}

// --- serial exchange ----------------------------------------------------------------------

void TransferEngine::runExchangeStep() {
    const FrameBatch& batch = transfer_.batch;
    if (exchangeStep_ != ExchangeStep::SendNext &&
        (batch.current < 0 || batch.current >= batch.usableCount())) {
        failUnexpected();
        return;
    }
    switch (exchangeStep_) {
    case ExchangeStep::SendNext:
        sendNext();
        break;
    case ExchangeStep::AwaitEcho:
        awaitEcho();
        break;
    case ExchangeStep::AwaitCommandEcho:
        awaitCommandEcho();
        break;
    case ExchangeStep::ReadCountedReply:
        readCountedReply();
        break;
    case ExchangeStep::ReadBlockReply:
        readBlockReply();
        break;
    case ExchangeStep::ReadAcknowledge:
        readAcknowledge();
        break;
    }
}

void TransferEngine::sendNext() {
    FrameBatch& batch = transfer_.batch;
    if (batch.current < 0 || batch.current >= batch.usableCount()) {
        // Every frame is done (or there was none): result keeps the value of the last frame.
        finish(EndCode::Ended);
        return;
    }
    received_.clear();
    // Whatever is still waiting (late bytes of an earlier reply) must not pass for an echo.
    if (serial_.read(batch.replies[at(FrameBatch::kDrainSlot)].data(), FrameBatch::kSlotSize)
            .gone()) {
        failFromPort();
        return;
    }
    const int length = batch.usableLength(batch.current);
    const WriteResult written = serial_.write(currentFrame().data(), length);
    // A frame that did not go out whole can never be answered whole; the reader may echo its
    // first bytes and then wait for the rest, which would hold the window until CANCEL.
    if (written.status == WriteStatus::Gone) {
        failFromPort();
        return;
    }
    if (written.count != length) {
        Failure failure;
        failure.kind = FailureKind::WriteStalled;
        failExchange(std::move(failure));
        return;
    }
    exchangeStep_ = ExchangeStep::AwaitEcho;
}

void TransferEngine::awaitEcho() {
    // The echo must be there by the first tick after the write.
    const ReadResult read = readReply(1);
    if (read.count == 0) {
        failSilent(read, FailureKind::NoAnswer);
        return;
    }
    if (currentReply()[0] != currentFrame()[0]) {
        failUnexpected();
        return;
    }
    exchangeStep_ = ExchangeStep::AwaitCommandEcho;
}

void TransferEngine::awaitCommandEcho() {
    const ReadResult read = readReply(1);
    if (read.count == 0) {
        if (read.gone()) {
            failFromPort();
        }
        return;
    }
    const std::uint8_t code = currentReply()[0];
    if (code != currentFrame()[1]) {
        failUnexpected();
        return;
    }
    switch (classifyReply(code)) {
    case ReplyKind::Block:
        exchangeStep_ = ExchangeStep::ReadBlockReply;
        break;
    case ReplyKind::Acknowledgement:
        exchangeStep_ = ExchangeStep::ReadAcknowledge;
        break;
    case ReplyKind::Counted:
        exchangeStep_ = ExchangeStep::ReadCountedReply;
        break;
    }
}

void TransferEngine::readCountedReply() {
    const ReadResult header = readReply(1);
    if (header.count == 0) {
        if (header.gone()) {
            failFromPort();
        }
        return;
    }
    const int announced = currentReply()[0];
    recordReplyLength(announced);
    // N = 0 reads nothing and fails like a reply whose data never came.
    const ReadResult data = readReply(announced);
    if (data.count == 0) {
        failSilent(data, FailureKind::NoReply);
        return;
    }
    // A counted reply ends the transaction, whatever frames follow.
    transfer_.batch.result = TransferResult::Success;
    finish(EndCode::Ended);
}

void TransferEngine::readBlockReply() {
    const ReadResult header = readReply(3);
    if (header.count == 0) {
        failSilent(header, FailureKind::NoReply);
        return;
    }
    // A header of 1 or 2 bytes leaves byte 2 at 0 and so fails here unless 0 was asked for.
    const int announced = currentReply()[2];
    recordReplyLength(announced);
    if (announced != currentFrame()[4]) {
        failUnexpected();
        return;
    }
    // The data must have arrived whole by the tick that reads the header: at 9600 bit/s a block
    // takes well under one tick. A block cut short would leave zeros in its reply slot that pass
    // for settings (a read-back would write them into the block), so it fails the exchange.
    const ReadResult data = readReply(announced);
    if (data.count != announced) {
        failSilent(data, FailureKind::NoReply);
        return;
    }
    completeFrame();
}

void TransferEngine::readAcknowledge() {
    const ReadResult read = readReply(4);
    if (read.count == 0) {
        if (read.gone()) {
            failFromPort();
        }
        return;
    }
    // An acknowledgement read before it was complete has zeros in bytes 2 and 3 and fails.
    const FrameBatch::Slot& reply = currentReply();
    if (reply[2] != kAckFirst || reply[3] != kAckSecond) {
        failUnexpected();
        return;
    }
    completeFrame();
}

void TransferEngine::completeFrame() {
    FrameBatch& batch = transfer_.batch;
    batch.current += 1;
    batch.result = TransferResult::Success;
    exchangeStep_ = ExchangeStep::SendNext;
}

void TransferEngine::failExchange(Failure failure) {
    if (failure.port == 0 && transfer_.port > 0) {
        failure.port = transfer_.port;
    }
    transfer_.failure = std::move(failure);
    transfer_.batch.result = TransferResult::Failure;
    finish(EndCode::Ended);
}

void TransferEngine::failExchange(FailureKind kind) {
    Failure failure;
    failure.kind = kind;
    failExchange(std::move(failure));
}

void TransferEngine::failFromPort() {
    Failure failure = serial_.lastFailure();
    if (!failure.failed()) {
        failure.kind = FailureKind::Unplugged;
    }
    failExchange(std::move(failure));
}

void TransferEngine::failUnexpected() {
    Failure failure;
    failure.kind = FailureKind::UnexpectedAnswer;
    failure.received = received_;
    failExchange(std::move(failure));
}

void TransferEngine::failSilent(const ReadResult& read, FailureKind silence) {
    if (read.gone()) {
        failFromPort();
        return;
    }
    Failure failure;
    failure.kind = silence;
    failure.waitedMs = workPeriodMs_;
    failExchange(std::move(failure));
}

ReadResult TransferEngine::readReply(int n) {
    FrameBatch::Slot& reply = currentReply();
    reply.fill(0);
    if (n <= 0) {
        return {};
    }
    const ReadResult read =
        serial_.read(reply.data(), n < FrameBatch::kSlotSize ? n : FrameBatch::kSlotSize);
    received_.insert(received_.end(), reply.begin(), reply.begin() + read.count);
    return read;
}

void TransferEngine::recordReplyLength(int length) {
    // Room for frames 0 to 4 only; later frames' lengths are not kept.
    FrameBatch& batch = transfer_.batch;
    if (batch.current >= 0 && batch.current < FrameBatch::kReplyLengthSlots) {
        batch.replyLengths[at(batch.current)] = length;
    }
}

FrameBatch::Slot& TransferEngine::currentFrame() {
    return transfer_.batch.frames[at(transfer_.batch.current)];
}

FrameBatch::Slot& TransferEngine::currentReply() {
    return transfer_.batch.replies[at(transfer_.batch.current)];
}

// --- auto-detect --------------------------------------------------------------------------

void TransferEngine::runDetectStep() {
    switch (detectStep_) {
    case DetectStep::SendProbe:
        sendProbe();
        break;
    case DetectStep::AwaitProbeAnswer:
        awaitProbeAnswer();
        break;
    case DetectStep::Found:
        finish(EndCode::Ended);
        break;
    }
}

void TransferEngine::sendProbe() {
    FrameBatch& batch = transfer_.batch;
    if (probeIndex_ == kKeyboardCandidate) {
        // The slot keeps the probe with its checksum, as the keyboard line sends it.
        CommandFrame::keyboardProbe().putInto(batch, 0);
        batch.frames[0][2] = checksum(batch.frames[0].data(), 2);
        // Bounds a wait for the port helper; the answer's own time starts once the probe is out.
        probeStart_ = clock_.nowSeconds();
        detectStep_ = DetectStep::AwaitProbeAnswer;
        keyboardProbeWaiting_ = true;
        sendKeyboardProbe();
        return;
    }
    if (probeIndex_ < 1 || probeIndex_ > lastCandidate_) {
        transfer_.port = Transfer::kNoPort;
        finish(EndCode::Ended);
        return;
    }
    if (!serial_.open(candidatePort())) {
        // A port that does not open costs one tick.
        probeIndex_ += 1;
        return;
    }
    CommandFrame::serialProbe().putInto(batch, 0);
    if (serial_.write(batch.frames[0].data(), batch.usableLength(0)).status == WriteStatus::Gone) {
        nextCandidate();
        return;
    }
    probeStart_ = clock_.nowSeconds();
    detectStep_ = DetectStep::AwaitProbeAnswer;
}

void TransferEngine::sendKeyboardProbe() {
    // A helper that is still starting is waited for, tick by tick, within the probe's own time;
    // without access (refused, lost, none at all) the probe is skipped and only the time runs.
    const PortAccess access = keyboard_.requestAccess();
    if (access == PortAccess::Pending) {
        return;
    }
    keyboardProbeWaiting_ = false;
    if (access == PortAccess::Granted) {
        keyboard_.sendProbe();
    }
    // The send takes about 200 ms: counted from before it, the wait for the O could end a whole
    // second early whenever the send crosses a second.
    probeStart_ = clock_.nowSeconds();
}

void TransferEngine::awaitProbeAnswer() {
    if (probeIndex_ == kKeyboardCandidate) {
        if (keyboardProbeWaiting_) {
            sendKeyboardProbe();
        }
        if (elapsedSeconds() > kKeyboardProbeLimitSeconds) {
            probeIndex_ += 1;
            detectStep_ = DetectStep::SendProbe;
        }
        return;
    }
    FrameBatch& batch = transfer_.batch;
    // Any byte at all is a reader's answer.
    const ReadResult read = serial_.read(batch.replies[0].data(), batch.usableLength(0));
    if (read.count > 0) {
        transfer_.setSerialPort(candidatePort());
        serial_.close();
        detectStep_ = DetectStep::Found;
        return;
    }
    if (read.gone() || elapsedSeconds() > kSerialProbeLimitSeconds) {
        nextCandidate();
    }
}

PortName TransferEngine::candidatePort() const {
    return onlyCandidate_ ? *onlyCandidate_ : PortName::number(probeIndex_);
}

void TransferEngine::nextCandidate() {
    if (serial_.isOpen()) {
        serial_.close();
    }
    probeIndex_ += 1;
    detectStep_ = DetectStep::SendProbe;
}

std::int64_t TransferEngine::elapsedSeconds() const {
    return clock_.nowSeconds() - probeStart_;
}

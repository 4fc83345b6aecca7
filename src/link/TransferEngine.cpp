#include "link/TransferEngine.h"

#include "link/Clock.h"
#include "link/CommandFrame.h"
#include "link/KeyboardPortLink.h"
#include "link/SerialPort.h"

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
    endCode_ = 0;
    progress_ = 0;
    workPeriodMs_ = 0;
    keyboard_.checkDriver();
    FrameBatch& batch = transfer_.batch;
    batch.current = 0;
    state_ = 0;
    probeIndex_ = -1;

    switch (transfer_.mode) {
    case AutoDetect:
    case KeyboardBatch:
        probeIndex_ = kKeyboardCandidate;
        batch.result = 0;
        workPeriodMs_ = kFastWorkPeriodMs;
        break;
    case Exchange:
        if (transfer_.port == 0) {
            batch.result = 0;
            workPeriodMs_ = kFastWorkPeriodMs;
        } else if (transfer_.port > 0 && serial_.open(transfer_.port)) {
            batch.result = 0;
            workPeriodMs_ = kSerialWorkPeriodMs;
        } else {
            // -1 ("no reader found") or a port that does not open: nothing can be sent.
            batch.result = -1;
            finish(kEndOk);
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
    case AutoDetect:
        detectStep();
        break;
    case Exchange:
        if (transfer_.port == 0) {
            sendKeyboardFrame();
        } else {
            exchangeStep();
        }
        break;
    case KeyboardBatch:
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
    if (transfer_.mode == AutoDetect && state_ == AwaitProbeAnswer && upperCased(key) == kKeyO) {
        state_ = Found;
        transfer_.port = 0;
        if (serial_.isOpen()) {
            serial_.close();
        }
    }
}

void TransferEngine::cancel() {
    if (finished_) {
        return;
    }
    transfer_.batch.result = -1;
    finish(kEndOk);
}

void TransferEngine::escape() {
    if (finished_) {
        return;
    }
    finish(kEndEscape);
}

void TransferEngine::finish(int endCode) {
    if (serial_.isOpen()) {
        serial_.close();
    }
    workPeriodMs_ = 0;
    finished_ = true;
    endCode_ = endCode;
}

// --- keyboard-controller port -------------------------------------------------------------

void TransferEngine::sendKeyboardBatch() {
    workPeriodMs_ = 0;
    transfer_.batch.result = 0;
    // The send holds the thread for its whole length, so no timer tick moves the bar meanwhile:
    // step it after every slot as a tick would.
    keyboard_.sendBatch(transfer_.batch, [this] { stepProgress(); });
    transfer_.batch.result = 1;
    finish(kEndOk);
}

void TransferEngine::sendKeyboardFrame() {
    runningChecksum_ = 0;
    workPeriodMs_ = 0;
    keyboard_.sendFrame(transfer_.batch);
    transfer_.batch.result = 1;
    finish(kEndOk);
}

// --- serial exchange ----------------------------------------------------------------------

void TransferEngine::exchangeStep() {
    const FrameBatch& batch = transfer_.batch;
    if (state_ != SendNext && (batch.current < 0 || batch.current >= batch.usableCount())) {
        failExchange();
        return;
    }
    switch (state_) {
    case SendNext:
        sendNext();
        break;
    case AwaitEcho:
        awaitEcho();
        break;
    case AwaitCommandEcho:
        awaitCommandEcho();
        break;
    case ReadCountedReply:
        readCountedReply();
        break;
    case ReadBlockReply:
        readBlockReply();
        break;
    case ReadAcknowledge:
        readAcknowledge();
        break;
    default:
        break;
    }
}

void TransferEngine::sendNext() {
    FrameBatch& batch = transfer_.batch;
    if (batch.current < 0 || batch.current >= batch.usableCount()) {
        // Every frame is done (or there was none): result keeps the value of the last frame.
        finish(kEndOk);
        return;
    }
    // Whatever is still waiting (late bytes of an earlier reply) must not pass for an echo.
    serial_.read(batch.replies[at(FrameBatch::kDrainSlot)].data(), FrameBatch::kSlotSize);
    if (serial_.lost()) {
        failExchange();
        return;
    }
    const int length = batch.usableLength(batch.current);
    const int written = serial_.write(currentFrame().data(), length);
    // A frame that did not go out whole can never be answered whole; the reader may echo its
    // first bytes and then wait for the rest, which would hold the window until CANCEL.
    if (serial_.lost() || written != length) {
        failExchange();
        return;
    }
    state_ = AwaitEcho;
}

void TransferEngine::awaitEcho() {
    // The echo must be there by the first tick after the write.
    if (readReply(1) == 0 || currentReply()[0] != currentFrame()[0]) {
        failExchange();
        return;
    }
    state_ = AwaitCommandEcho;
}

void TransferEngine::awaitCommandEcho() {
    if (readReply(1) == 0) {
        if (serial_.lost()) {
            failExchange();
        }
        return;
    }
    const std::uint8_t code = currentReply()[0];
    if (code != currentFrame()[1]) {
        failExchange();
        return;
    }
    switch (classifyReply(code)) {
    case ReplyKind::Block:
        state_ = ReadBlockReply;
        break;
    case ReplyKind::Acknowledgement:
        state_ = ReadAcknowledge;
        break;
    case ReplyKind::Counted:
        state_ = ReadCountedReply;
        break;
    }
}

void TransferEngine::readCountedReply() {
    if (readReply(1) == 0) {
        if (serial_.lost()) {
            failExchange();
        }
        return;
    }
    const int announced = currentReply()[0];
    recordReplyLength(announced);
    // N = 0 reads nothing and fails like a reply whose data never came.
    if (readReply(announced) == 0) {
        failExchange();
        return;
    }
    // A counted reply ends the transaction, whatever frames follow.
    transfer_.batch.result = 1;
    finish(kEndOk);
}

void TransferEngine::readBlockReply() {
    if (readReply(3) == 0) {
        failExchange();
        return;
    }
    // A header of 1 or 2 bytes leaves byte 2 at 0 and so fails here unless 0 was asked for.
    const int announced = currentReply()[2];
    recordReplyLength(announced);
    if (announced != currentFrame()[4]) {
        failExchange();
        return;
    }
    // The data must have arrived whole by the tick that reads the header: at 9600 bit/s a block
    // takes well under one tick. A block cut short would leave zeros in its reply slot that pass
    // for settings (a read-back would write them into the block), so it fails the exchange.
    if (readReply(announced) != announced || serial_.lost()) {
        failExchange();
        return;
    }
    completeFrame();
}

void TransferEngine::readAcknowledge() {
    if (readReply(4) == 0) {
        if (serial_.lost()) {
            failExchange();
        }
        return;
    }
    // An acknowledgement read before it was complete has zeros in bytes 2 and 3 and fails.
    const FrameBatch::Slot& reply = currentReply();
    if (reply[2] != kAckFirst || reply[3] != kAckSecond) {
        failExchange();
        return;
    }
    completeFrame();
}

void TransferEngine::completeFrame() {
    FrameBatch& batch = transfer_.batch;
    batch.current += 1;
    batch.result = 1;
    state_ = SendNext;
}

void TransferEngine::failExchange() {
    transfer_.batch.result = -1;
    finish(kEndOk);
}

int TransferEngine::readReply(int n) {
    FrameBatch::Slot& reply = currentReply();
    reply.fill(0);
    if (n <= 0) {
        return 0;
    }
    return serial_.read(reply.data(), n < FrameBatch::kSlotSize ? n : FrameBatch::kSlotSize);
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

void TransferEngine::detectStep() {
    switch (state_) {
    case SendProbe:
        sendProbe();
        break;
    case AwaitProbeAnswer:
        awaitProbeAnswer();
        break;
    case Found:
        finish(kEndOk);
        break;
    default:
        break;
    }
}

void TransferEngine::sendProbe() {
    FrameBatch& batch = transfer_.batch;
    FrameBatch::Slot& frame = batch.frames[0];
    if (probeIndex_ == kKeyboardCandidate) {
        frame.fill(0);
        frame[0] = Command::kEscape;
        frame[1] = Command::kKeyboardProbe;
        frame[2] = checksum(frame.data(), 2);
        keyboard_.sendProbe();
        probeStart_ = clock_.nowSeconds();
        state_ = AwaitProbeAnswer;
        return;
    }
    if (probeIndex_ < 1 || probeIndex_ > kLastSerialCandidate) {
        transfer_.port = -1;
        finish(kEndOk);
        return;
    }
    if (!serial_.open(probeIndex_)) {
        // A port that does not open costs one tick.
        probeIndex_ += 1;
        return;
    }
    frame[0] = Command::kEscape;
    frame[1] = Command::kSerialProbe;
    batch.lengths[0] = 2;
    serial_.write(frame.data(), 2);
    if (serial_.lost()) {
        nextCandidate();
        return;
    }
    probeStart_ = clock_.nowSeconds();
    state_ = AwaitProbeAnswer;
}

void TransferEngine::awaitProbeAnswer() {
    if (probeIndex_ == kKeyboardCandidate) {
        if (elapsedSeconds() > kKeyboardProbeLimitSeconds) {
            probeIndex_ += 1;
            state_ = SendProbe;
        }
        return;
    }
    FrameBatch& batch = transfer_.batch;
    // Any byte at all is a reader's answer.
    if (serial_.read(batch.replies[0].data(), batch.usableLength(0)) > 0) {
        transfer_.port = probeIndex_;
        serial_.close();
        state_ = Found;
        return;
    }
    if (serial_.lost() || elapsedSeconds() > kSerialProbeLimitSeconds) {
        nextCandidate();
    }
}

void TransferEngine::nextCandidate() {
    if (serial_.isOpen()) {
        serial_.close();
    }
    probeIndex_ += 1;
    state_ = SendProbe;
}

std::int64_t TransferEngine::elapsedSeconds() const {
    return clock_.nowSeconds() - probeStart_;
}

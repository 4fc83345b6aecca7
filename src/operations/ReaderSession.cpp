#include "operations/ReaderSession.h"

#include "link/Clock.h"
#include "link/CommandFrame.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

namespace {

// The device node a port leads to, or the entry itself when it leads nowhere.
std::string portDevice(const PortMap& map, const PortName& portName) {
    const std::optional<std::filesystem::path> device = portName.resolve(map);
    const std::string target = portName.canonicalDevice(map);
    return !target.empty() || !device ? target : device->string();
}

} // namespace

ReaderSession::ReaderSession(const PortMap& map, const PortName& portName, Clock& clock,
                             PortIo& keyboardIo, Pace pace, TransferPacer::Limits limits)
    : clock_(clock), portName_(portName), port_(map, clock), keyboard_(keyboardIo, clock),
      engine_(clock, port_, keyboard_), pacer_(engine_, clock, pace, limits),
      label_(portName.label()), device_(portDevice(map, portName)), limits_(limits) {}

ReaderSession::ReaderSession(const PortMap& map, Clock& clock, PortIo& keyboardIo)
    : clock_(clock), port_(map, clock), keyboard_(keyboardIo, clock),
      engine_(clock, port_, keyboard_), pacer_(engine_, clock, Pace::Window, {}),
      keyboardLine_(true), label_("keyboard"), device_("port 0x60") {}

void ReaderSession::begin(const Transfer& transfer, std::string stage, Then then) {
    if (!begun_) {
        begun_ = true;
        startedMs_ = clock_.nowMilliseconds();
    }
    stage_ = std::move(stage);
    then_ = std::move(then);
    running_ = true;
    engine_.transfer() = transfer;
    pacer_.start([this] { return port_.waiting(); });
    if (engine_.finished()) {
        finishTransaction();
    }
}

void ReaderSession::beginProbe() {
    if (keyboardLine_) {
        engine_.setCandidates(TransferEngine::kKeyboardCandidate,
                              TransferEngine::kKeyboardCandidate);
    } else {
        engine_.setOnlyCandidate(portName_);
    }
    run(DeviceTransaction::detect(), "probing",
        [this](const Outcome& outcome) { answered_ = outcome.done(); });
}

void ReaderSession::run(DeviceTransaction transaction, std::string stage, Concluded then,
                        SettingsImage* image) {
    auto shared = std::make_shared<DeviceTransaction>(std::move(transaction));
    begin(shared->transfer(), std::move(stage),
          [this, shared, then = std::move(then), image](EndCode endCode) {
              shared->transfer() = engine_.transfer();
              Outcome outcome = shared->conclude(endCode, image);
              if (outcome.failure.failed()) {
                  const bool partly = outcome.failure.partlyProgrammed;
                  outcome.failure = failure();
                  outcome.failure.partlyProgrammed = partly;
              }
              then(outcome);
          });
}

void ReaderSession::service() {
    if (draining_) {
        drain();
        return;
    }
    if (!running_ && !finishing_) {
        return;
    }
    port_.sendPending();
    pacer_.service([this] { return port_.waiting(); });
    if (finishing_ && (engine_.finished() || pacer_.holding())) {
        finishing_ = false;
        noteCutShort();
        startDrain();
        return;
    }
    if (running_ && engine_.finished()) {
        finishTransaction();
    }
}

void ReaderSession::finishTransaction() {
    running_ = false;
    endedMs_ = clock_.nowMilliseconds();
    // `then` may begin the next transaction, which sets a new one.
    Then then = std::move(then_);
    then_ = nullptr;
    if (then) {
        then(engine_.endCode());
    }
}

void ReaderSession::interrupt() {
    if (!running_) {
        return;
    }
    running_ = false;
    then_ = nullptr;
    endedMs_ = clock_.nowMilliseconds();
    interrupted_ = true;
    const Transfer& transfer = engine_.transfer();
    const bool answerOwed = port_.isOpen() && !engine_.finished() &&
                            transfer.mode == TransferMode::Exchange &&
                            engine_.exchangeStep() != ExchangeStep::SendNext;
    if (answerOwed) {
        // The reader answers the frame it has whatever we do; taking that answer leaves the line
        // quiet for the next command, and tells whether the frame was taken.
        finishing_ = true;
        pacer_.holdNextFrame();
        return;
    }
    noteCutShort();
    startDrain();
}

void ReaderSession::noteCutShort() {
    const Transfer& transfer = engine_.transfer();
    const FrameBatch& batch = transfer.batch;
    cutShort_.keyboard = transfer.mode == TransferMode::KeyboardBatch || keyboardLine_;
    cutShort_.frames = batch.usableCount();
    cutShort_.answered = std::clamp(batch.current, 0, cutShort_.frames);
    const bool inFlight = !engine_.finished() && transfer.mode == TransferMode::Exchange &&
                          engine_.exchangeStep() != ExchangeStep::SendNext;
    cutShort_.sent = cutShort_.answered > 0 || inFlight || transfer.failure.failed();
    cutShort_.writes = transfer.mode == TransferMode::KeyboardBatch;
    for (int i = 0; i < cutShort_.frames; ++i) {
        cutShort_.writes = cutShort_.writes ||
                           batch.frames[static_cast<std::size_t>(i)][1] == Command::kWriteBlock;
    }
}

void ReaderSession::startDrain() {
    endedMs_ = clock_.nowMilliseconds();
    if (!port_.isOpen()) {
        engine_.cancel();
        return;
    }
    draining_ = true;
    drainEndMs_ = endedMs_ + limits_.echoMs;
    drain();
}

void ReaderSession::drain() {
    port_.discardArrived();
    const std::int64_t now = clock_.nowMilliseconds();
    const std::int64_t quietSince = port_.lastActivityMs();
    if (now >= drainEndMs_ || now - quietSince >= limits_.echoMs || !port_.isOpen()) {
        release();
    }
}

void ReaderSession::release() {
    if (finishing_) {
        // A second Ctrl+C: the answer on its way is not waited for.
        noteCutShort();
        finishing_ = false;
    }
    draining_ = false;
    running_ = false;
    then_ = nullptr;
    engine_.cancel();
}

void ReaderSession::abandon(const std::string& why) {
    release();
    endedMs_ = clock_.nowMilliseconds();
    abandonedFor_ = why;
}

std::optional<std::int64_t> ReaderSession::deadline() const {
    if (finishing_) {
        return pacer_.deadline();
    }
    if (draining_) {
        return std::min(drainEndMs_, port_.lastActivityMs() + limits_.echoMs);
    }
    return running_ ? pacer_.deadline() : std::nullopt;
}

Failure ReaderSession::failure() const {
    Failure failure = engine_.transfer().failure;
    if (failure.device.empty() && !keyboardLine_) {
        failure.device = device_;
    }
    // The echo cannot come while the frame is still waiting to go out.
    if (port_.leftUnsent() && failure.kind == FailureKind::NoAnswer) {
        failure.kind = FailureKind::WriteStalled;
    }
    return failure;
}

std::string ReaderSession::progress() const {
    if (running_) {
        const Transfer& transfer = engine_.transfer();
        if (transfer.mode != TransferMode::Exchange || keyboardLine_) {
            return stage_;
        }
        const int count = transfer.batch.usableCount();
        const int frame = transfer.batch.current < count ? transfer.batch.current + 1 : count;
        return stage_ + " " + std::to_string(frame) + "/" + std::to_string(count);
    }
    if (!begun_) {
        return "waiting";
    }
    if (engine_.transfer().mode == TransferMode::AutoDetect) {
        return answered() ? "reader found" : "no reader";
    }
    return "ended";
}

// The transfer engine fed arbitrary reader byte streams, keys and buttons in every mode: it must
// never crash or touch memory outside its batch, a run must end or keep waiting exactly where the
// rules let it wait, and the serial port must be released at every end.
#include "link/KeyboardPortLink.h"
#include "link/Transfer.h"
#include "link/TransferEngine.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/RecordingPortIo.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Reads the fuzz input front to back; past its end every read gives 0.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    bool empty() const { return at_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A broken rule stops the run with the line that states it.
#define check(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "engine rule broken: %s (line %d)\n", #condition, __LINE__);      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    FakeClock clock;
    RecordingPortIo io(clock);
    KeyboardPortLink keyboard(io, clock);
    // Access to the keyboard controller: given at once or after a few asks, or never.
    constexpr PortAccess kAnswers[] = {PortAccess::Granted, PortAccess::Denied, PortAccess::Refused,
                                       PortAccess::Lost};
    io.access = kAnswers[in.byte() % 4];
    io.pendingRequests = in.byte() % 4;
    FakeSerialPort serial;
    const std::uint8_t openable = in.byte();
    for (int port = 1; port <= 9; ++port) {
        if ((openable >> (port % 8)) & 1) {
            serial.allowPort(port);
        }
    }

    {
        TransferEngine engine(clock, serial, keyboard);
        Transfer& transfer = engine.transfer();
        transfer.mode = TransferMode{in.byte() % 5}; // 0 and 4 are unsupported modes
        transfer.port = static_cast<std::int8_t>(in.byte()) % 12;
        if (transfer.mode == TransferMode::AutoDetect) {
            transfer.port = -1; // what every caller of a detection sets
        }
        // Batches of any shape, also outside the arrays' bounds.
        transfer.batch.count = static_cast<std::int8_t>(in.byte());
        for (int i = 0; i < FrameBatch::kMaxFrames; ++i) {
            const std::uint8_t length = in.byte();
            transfer.batch.lengths[static_cast<std::size_t>(i)] =
                length > 250 ? static_cast<std::int32_t>(length) * 1000 - 300000 : length % 12;
            transfer.batch.frames[static_cast<std::size_t>(i)][0] = 0x1B;
            transfer.batch.frames[static_cast<std::size_t>(i)][1] = in.byte();
            transfer.batch.frames[static_cast<std::size_t>(i)][4] = in.byte();
        }
        engine.start();

        // While the input lasts, each step is a piece of reader bytes, maybe a key or a button,
        // then the ticks that are due; after it, the reader falls silent and time runs on.
        std::int64_t now = 0;
        std::int64_t nextProgress = TransferEngine::kProgressPeriodMs;
        std::int64_t nextWork = engine.workPeriodMs();
        int silentSteps = 0;
        while (!engine.finished() && silentSteps < 3000) {
            if (in.empty()) {
                ++silentSteps;
            } else {
                const std::uint8_t control = in.byte();
                std::vector<std::uint8_t> piece(control & 0x07u);
                for (std::uint8_t& b : piece) {
                    b = in.byte();
                }
                if (!piece.empty()) {
                    serial.queueRead(piece);
                }
                const bool act = (control & 0x18) == 0x18;
                switch (control >> 5) {
                case 1:
                    engine.keyDown(in.byte());
                    break;
                case 2:
                    if (act) {
                        engine.cancel();
                    }
                    break;
                case 3:
                    if (act) {
                        engine.escape();
                    }
                    break;
                case 4:
                    if (act) {
                        serial.loseDevice();
                    }
                    break;
                default:
                    break;
                }
                if (engine.finished()) {
                    break;
                }
            }
            now += 25;
            clock.advance(25);
            if (now >= nextProgress) {
                engine.progressTick();
                nextProgress += TransferEngine::kProgressPeriodMs;
            }
            if (engine.workPeriodMs() > 0 && now >= nextWork) {
                engine.workTick();
                nextWork = now + engine.workPeriodMs();
            }
            check(engine.progress() >= 0 && engine.progress() <= TransferEngine::kProgressMaximum);
        }
        if (engine.finished()) {
            check(!serial.isOpen());
            check(engine.endCode() == EndCode::Ended || engine.endCode() == EndCode::Escape);
            check(transfer.batch.result == TransferResult::Unknown ||
                  transfer.batch.result == TransferResult::Success ||
                  transfer.batch.result == TransferResult::Failure);
            // A failure with a reason never claims success.
            check(!transfer.failure.failed() || transfer.batch.result == TransferResult::Failure);
            if (transfer.mode == TransferMode::AutoDetect && engine.endCode() == EndCode::Ended) {
                check(transfer.port >= -1 && transfer.port <= 9);
            }
        } else {
            // After 75 s of silence only these may still wait: an unsupported mode, and the
            // serial exchange in the steps that wait for the reader without a time limit.
            const bool unsupported = transfer.mode != TransferMode::AutoDetect &&
                                     transfer.mode != TransferMode::Exchange &&
                                     transfer.mode != TransferMode::KeyboardBatch;
            const bool waitingExchange = transfer.mode == TransferMode::Exchange &&
                                         (engine.exchangeStep() == ExchangeStep::AwaitCommandEcho ||
                                          engine.exchangeStep() == ExchangeStep::ReadCountedReply ||
                                          engine.exchangeStep() == ExchangeStep::ReadAcknowledge);
            check(unsupported || waitingExchange);
        }
    }
    // The destructor releases the port whatever state the run was left in.
    check(!serial.isOpen());
    return 0;
}

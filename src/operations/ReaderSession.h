#pragma once

#include "link/KeyboardPortLink.h"
#include "link/PortName.h"
#include "link/ReaderPort.h"
#include "link/Transfer.h"
#include "link/TransferEngine.h"
#include "link/TransferPacer.h"
#include "operations/DeviceTransaction.h"
#include "operations/Outcome.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class Clock;
class PortIo;
class SettingsImage;

// One reader among many served side by side in one ReaderLoop (r550ctl's device commands): its
// port, its own TransferEngine with the pacer that drives it, and the transactions it runs one
// after the other. Nothing here is shared with another reader, so one reader's failure or
// unplugging cannot touch another. What came of the transactions is the caller's to keep.
class ReaderSession {
public:
    // Told how a transaction ended; may begin the reader's next one.
    using Then = std::function<void(EndCode endCode)>;

    // A reader on a serial port; `keyboardIo` only serves the engine's driver check.
    ReaderSession(const PortMap& map, const PortName& portName, Clock& clock, PortIo& keyboardIo,
                  Pace pace, TransferPacer::Limits limits);
    // The reader in the keyboard line, reached through `keyboardIo` on the window's ticks.
    ReaderSession(const PortMap& map, Clock& clock, PortIo& keyboardIo);
    virtual ~ReaderSession() = default;
    ReaderSession(const ReaderSession&) = delete;
    ReaderSession& operator=(const ReaderSession&) = delete;

    bool keyboardLine() const { return keyboardLine_; }
    // The serial port; meaningless in the keyboard line.
    const PortName& portName() const { return portName_; }
    // "COM3", the device path given, or "keyboard".
    const std::string& label() const { return label_; }
    // The device node the port leads to ("/dev/ttyUSB0"), or what stands for it.
    const std::string& device() const { return device_; }

    // Runs `transfer` as the reader's next transaction, shown as `stage` in the progress line;
    // `then` is told how it ended.
    void begin(const Transfer& transfer, std::string stage, Then then);
    // The window's serial probe on this port alone (or, in the keyboard line, the keyboard probe).
    void beginProbe();
    // A device command's transaction; `then` gets its outcome, concluded as the window concludes
    // it (a read-back written into `image`, when one is given), with the port told as given.
    using Concluded = std::function<void(const Outcome& outcome)>;
    void run(DeviceTransaction transaction, std::string stage, Concluded then,
             SettingsImage* image = nullptr);
    // Whether the probe found a reader.
    bool answered() const { return answered_; }
    // Runs what can run now; tells `then` when the transaction has ended.
    void service();
    // Ctrl+C: stops the transaction that runs and marks the reader interrupted. A frame already
    // sent still gets its answer (within the reply limit), but no further frame goes out; then
    // the port is kept until its line has been quiet for a moment (at most the echo limit), its
    // bytes dropped, so that no part of a reply can reach the next command.
    void interrupt();
    // A second Ctrl+C: the port is released at once.
    void release();
    // The loop cannot watch the port: the reader stops at once, failed for `why`.
    void abandon(const std::string& why);
    // Ctrl+C stopped a transaction of the reader.
    bool interrupted() const { return interrupted_; }
    // How far the transaction that Ctrl+C stopped had got.
    struct CutShort {
        int answered = 0;    // frames acknowledged (sent, on the keyboard line)
        int frames = 0;      // frames in its batch
        bool sent = false;   // any frame had gone out
        bool writes = false; // its frames write settings
        bool keyboard = false;
    };
    const CutShort& cutShort() const { return cutShort_; }
    // Why the reader was abandoned; empty when it was not.
    const std::string& abandonedFor() const { return abandonedFor_; }

    // A transaction runs, or the line is being waited on after an interrupt.
    bool running() const { return running_ || finishing_ || draining_; }
    // Its first transaction has begun.
    bool begun() const { return begun_; }
    std::optional<std::int64_t> deadline() const;
    ReaderPort& port() { return port_; }
    TransferEngine& engine() { return engine_; }
    // The transaction's failure, with the device the port leads to.
    Failure failure() const;
    // What it is doing, for a progress line: "waiting", "programming 3/6", "reader found" or
    // "no reader" after a probe; "ended" after any other transaction, whose outcome the caller
    // knows better.
    virtual std::string progress() const;

    // From the start of its first transaction to the end of its last.
    std::int64_t elapsedMs() const { return endedMs_ - startedMs_; }

private:
    void finishTransaction();
    void noteCutShort();
    void startDrain();
    void drain();

    Clock& clock_;
    PortName portName_;
    ReaderPort port_;
    KeyboardPortLink keyboard_;
    TransferEngine engine_;
    TransferPacer pacer_;
    bool keyboardLine_ = false;
    std::string label_;
    std::string device_;
    std::string stage_;
    Then then_;
    TransferPacer::Limits limits_;
    bool running_ = false;
    bool finishing_ = false; // after Ctrl+C, until the frame on its way has its answer
    bool draining_ = false;
    bool answered_ = false;
    bool interrupted_ = false;
    std::string abandonedFor_;
    CutShort cutShort_;
    std::int64_t drainEndMs_ = 0;
    bool begun_ = false;
    std::int64_t startedMs_ = 0;
    std::int64_t endedMs_ = 0;
};

#pragma once

#include "link/PortName.h"
#include "link/TransferPacer.h"
#include "operations/ReaderSession.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class Clock;
class PortIo;

// The search for readers: the window's probe, on COM1..COM9 (and, when asked, every USB serial
// adapter under /dev/serial/by-id that none of them leads to, and the keyboard line) all at the
// same time, each port by an engine of its own, served in one ReaderLoop. For r550ctl's detect,
// and for the --all of its device commands.
class ReaderSearch {
public:
    // A port where a reader answered.
    struct Found {
        PortName portName;
        bool keyboardLine = false;
        std::string label;
        std::string device;
        int suggestedPort = 0;  // an adapter that no port number leads to: the first free one
        std::string mapCommand; // and the line that maps it there
        std::int64_t milliseconds = 0;
    };

    // `byIdFolder`: where the system lists its USB serial adapters.
    ReaderSearch(const PortMap& map, std::filesystem::path byIdFolder, Clock& clock, PortIo& nullIo,
                 Pace pace, TransferPacer::Limits limits);

    // COM1..COM9; with `usb` also the adapters.
    void addSerialPorts(bool usb);
    // The keyboard line, through `keyboardIo`; the reader answers by typing O (see keyDown).
    void addKeyboardLine(PortIo& keyboardIo);
    // A key typed while the search runs; an O answers the keyboard probe.
    void keyDown(int key);

    // Starts every probe; the caller runs them in its loop.
    std::vector<ReaderSession*> begin();
    // The message when no reader answered.
    std::string noneAnswered(bool keyboard) const;

    // What the probes found, in the order the ports were added.
    std::vector<Found> found() const;
    // Ports that exist but could not be probed (no permission), and those skipped because
    // another program holds them ("COM2: skipped (held): open in posd (PID 4121)"), as notes.
    std::vector<std::string> unusable() const;

private:
    struct Candidate {
        std::unique_ptr<ReaderSession> session;
        int suggestedPort = 0;
        std::string mapCommand;
    };

    const PortMap& map_;
    std::filesystem::path byIdFolder_;
    Clock& clock_;
    PortIo& nullIo_;
    Pace pace_;
    TransferPacer::Limits limits_;
    std::vector<Candidate> candidates_;
    bool usb_ = false;
};

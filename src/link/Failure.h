#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Why a device command failed. The link and the transfer engine find the reason; the window and
// r550ctl turn it into words.
enum class FailureKind {
    None,
    NoPortSelected,        // com_port names no serial port (0 or 0xFF)
    NoSuchPort,            // no device behind the port (`tried` lists where it was looked for)
    InUse,                 // another program holds the port
    NoPermission,          // the user may not open the device (`group` owns it)
    NotSerial,             // the device is no serial port, or refuses the line settings
    OpenFailed,            // the open failed for another reason (`systemError`)
    Unplugged,             // the device went away during the exchange
    NoAnswer,              // no echo within the echo time (`waitedMs`)
    NoReply,               // a reply began but did not end within its time limit (`waitedMs`)
    UnexpectedAnswer,      // the reader answered something else (`received`)
    WriteStalled,          // a frame could not be written whole within the write time limit
    NotRs232,              // the command works over RS232 only
    NoKeyboardAccess,      // no access to the keyboard controller
    KeyboardAccessRefused, // the operator refused the authentication for the keyboard controller
    KeyboardHelperLost,    // the helper that writes the keyboard controller stopped
    KeyboardInUse,         // another helper is writing to the keyboard controller
    PortIoSettingUnknown,  // R550_PORT_IO names no way to the keyboard controller
};

struct Failure {
    FailureKind kind = FailureKind::None;
    int port = 0;                       // COMn the failure concerns; 0 for none or a bare device
    std::string device;                 // the device path, when one was known
    std::vector<std::string> tried;     // NoSuchPort: every place the port was looked for
    std::string group;                  // NoPermission: the group that owns the device, when
                                        // that group may read and write it
    std::string owner;                  // NoPermission: the owner of the device otherwise
    unsigned mode = 0;                  // NoPermission: and its permission bits
    std::string holder;                 // InUse: the program that has the port open, when seen
    int holderPid = 0;                  // InUse: and its process number
    std::vector<std::uint8_t> received; // UnexpectedAnswer: the bytes that came instead
    int waitedMs = 0;                   // NoAnswer, NoReply: how long the reader was given
    int systemError = 0;                // the errno behind an open or write failure, 0 if none
    bool partlyProgrammed = false;      // programming stopped after its first frame went out

    bool failed() const { return kind != FailureKind::None; }
};

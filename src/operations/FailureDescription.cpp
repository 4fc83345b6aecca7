#include "operations/FailureDescription.h"

#include "link/PortIoSelection.h"
#include "settings/CodeText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

using Words = std::string (*)(const Failure&);

std::string comName(int port) {
    return "COM" + std::to_string(port);
}

// "COM3", or the device when the failure names no port number.
std::string shortPort(const Failure& failure) {
    if (failure.port > 0) {
        return comName(failure.port);
    }
    return failure.device.empty() ? std::string("the port") : failure.device;
}

std::string reader(const Failure& failure) {
    return "The reader on " + shortPort(failure);
}

std::string seconds(int ms) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%g s", ms / 1000.0);
    return text.data();
}

std::string systemText(int error) {
    return error != 0 ? std::string(" (") + std::strerror(error) + ")" : std::string();
}

std::string joined(const std::vector<std::string>& items, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += i + 1 == items.size() ? last : ", ";
        }
        text += items[i];
    }
    return text;
}

std::string modeText(unsigned mode) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%04o", mode);
    return text.data();
}

std::string deviceOf(const Failure& failure) {
    return failure.device.empty() ? shortPort(failure) : failure.device;
}

// Who may use the device: its group when that group may read and write it, its owner otherwise.
std::string permissionAdvice(const Failure& failure, bool brief) {
    if (!failure.group.empty()) {
        return brief ? "; the device belongs to the group " + failure.group +
                           " (sudo usermod -aG " + failure.group + " $USER, then log in again)"
                     : " Add your user to the " + failure.group + " group and log in again.";
    }
    if (!failure.owner.empty()) {
        const std::string facts =
            "belongs to " + failure.owner + " with mode " + modeText(failure.mode);
        return brief ? "; the device " + facts
                     : " It " + facts + ", which lets no group use it: ask the administrator.";
    }
    return brief ? std::string() : " Ask the administrator for access to it.";
}

std::string noDevice(const Failure& failure) {
    if (failure.tried.empty()) {
        return shortPort(failure) + " has no device. Check that the reader is connected.";
    }
    // The first place looked at is the one that decides the port: the ports folder of
    // R550_PORTS_DIR when it is set, the user's own map otherwise.
    return shortPort(failure) + " has no device: there is nothing at " +
           joined(failure.tried, " or ") + ". Connect the reader, or link " +
           (failure.port > 0 ? failure.tried.front() : std::string("the port")) + " to its device.";
}

// What the failure's device path is, when something is there: "a regular file", "a folder",
// "a character device", ...; empty when nothing is.
std::string whatIsThere(const Failure& failure) {
    std::error_code error;
    const std::filesystem::file_status status =
        failure.device.empty() ? std::filesystem::file_status()
                               : std::filesystem::status(failure.device, error);
    switch (status.type()) {
    case std::filesystem::file_type::regular:
        return "a regular file";
    case std::filesystem::file_type::directory:
        return "a folder";
    case std::filesystem::file_type::character:
        return "a character device";
    case std::filesystem::file_type::block:
        return "a block device";
    case std::filesystem::file_type::fifo:
        return "a named pipe";
    case std::filesystem::file_type::socket:
        return "a socket";
    default:
        return "";
    }
}

// The brief words for a port that led to no device: what is there when something is (a
// terminal node with nothing behind it), else every place it was looked for.
std::string briefNoDevice(const Failure& failure) {
    // Only an open that found the node (and nothing behind it) says what the node is.
    const bool found =
        failure.systemError == ENXIO || failure.systemError == ENODEV || failure.systemError == EIO;
    const std::string there = found ? whatIsThere(failure) : std::string();
    if (!there.empty()) {
        return failure.device + " is " + there + " with no device behind it" +
               systemText(failure.systemError);
    }
    return failure.tried.empty() ? std::string("no device behind it")
                                 : "no device; looked for " + joined(failure.tried, ", ");
}

// The brief words for what is no serial port: what it is instead, when it is no device at all.
std::string briefNotSerial(const Failure& failure) {
    const std::string there = whatIsThere(failure);
    if (!there.empty() && there != "a character device") {
        return failure.device + " is " + there + ", not a serial port";
    }
    return "not a serial port, or it refuses 9600 8N1" + systemText(failure.systemError);
}

// "open in posd (PID 4121)" where the holder could be seen; a holder of another user is seen by
// root only, and one found by its lock or exclusive mode has no name.
std::string heldBy(const Failure& failure) {
    if (failure.holder.empty()) {
        return "in use by another program";
    }
    return "open in " + failure.holder + " (PID " + std::to_string(failure.holderPid) + ")";
}

struct Wording {
    FailureKind kind;
    const char* word;
    Words full;
    Words brief;
};

// clang-format off
const std::array<Wording, 18> kWordings{{
    {FailureKind::None, "", [](const Failure&) { return std::string(); },
        [](const Failure&) { return std::string("no failure"); }},
    {FailureKind::NoPortSelected, "no_port_selected",
        [](const Failure&) { return std::string("No serial port is selected. Choose the reader's port on the Main Settings page, or use Reader > Search for the reader."); },
        [](const Failure&) { return std::string("no serial port is selected"); }},
    {FailureKind::NoSuchPort, "no_device", noDevice, briefNoDevice},
    {FailureKind::InUse, "in_use",
        [](const Failure& f) { return describePort(f) + " is " + heldBy(f) + ". Close that program and try again."; },
        [](const Failure& f) { return heldBy(f); }},
    {FailureKind::NoPermission, "no_permission",
        [](const Failure& f) { return "You may not open " + deviceOf(f) + "." + permissionAdvice(f, false); },
        [](const Failure& f) { return "permission denied" + permissionAdvice(f, true); }},
    {FailureKind::NotSerial, "not_serial",
        [](const Failure& f) { return describePort(f) + " is not a serial port. Check which device " + shortPort(f) + " stands for."; },
        briefNotSerial},
    {FailureKind::OpenFailed, "open_failed",
        [](const Failure& f) { return describePort(f) + " could not be opened: " + std::strerror(f.systemError) + "."; },
        [](const Failure& f) { return "cannot be opened" + systemText(f.systemError); }},
    {FailureKind::Unplugged, "unplugged",
        [](const Failure& f) { return reader(f) + " was unplugged."; },
        [](const Failure&) { return std::string("the device went away (unplugged?)"); }},
    {FailureKind::NoAnswer, "no_answer",
        [](const Failure& f) { return reader(f) + " did not answer within " + seconds(f.waitedMs) + ". Check the cable and that the reader is in RS232 mode."; },
        [](const Failure& f) { return "no answer within " + std::to_string(f.waitedMs) + " ms"; }},
    {FailureKind::NoReply, "cut_short",
        [](const Failure& f) { return reader(f) + " stopped answering before its reply was complete (waited " + seconds(f.waitedMs) + "). Check the cable and try again."; },
        [](const Failure& f) { return "the reply did not end within " + std::to_string(f.waitedMs) + " ms"; }},
    {FailureKind::UnexpectedAnswer, "unexpected_answer",
        [](const Failure& f) { return reader(f) + " gave an unexpected answer" + (f.received.empty() ? std::string() : " (" + CodeText::hex(f.received) + ")") + ". Check that the device on " + shortPort(f) + " is an R550 reader."; },
        [](const Failure& f) { return "unexpected answer " + CodeText::hex(f.received); }},
    {FailureKind::WriteStalled, "write_stalled",
        [](const Failure& f) { return "The command could not be sent to " + shortPort(f) + " in time. Check the cable and try again."; },
        [](const Failure&) { return std::string("a frame could not be sent within the time limit"); }},
    {FailureKind::NotRs232, "not_rs232",
        [](const Failure&) { return std::string("This command needs a reader on a serial port (RS232 mode)."); },
        [](const Failure&) { return std::string("this command works over RS232 only"); }},
    {FailureKind::NoKeyboardAccess, "no_keyboard_access",
        [](const Failure&) { return std::string("No access to the keyboard controller. Run the tool as root or give it CAP_SYS_RAWIO."); },
        [](const Failure&) { return std::string("no access to the keyboard controller (needs root, CAP_SYS_RAWIO or the helper)"); }},
    {FailureKind::KeyboardAccessRefused, "keyboard_access_refused",
        [](const Failure&) { return std::string("Access to the keyboard controller was refused."); },
        [](const Failure&) { return std::string("access to the keyboard controller was refused"); }},
    {FailureKind::KeyboardHelperLost, "keyboard_access_lost",
        [](const Failure&) { return std::string("The helper that writes to the keyboard controller stopped before the command was sent. Try again."); },
        [](const Failure&) { return std::string("the helper that writes the keyboard controller stopped"); }},
    {FailureKind::KeyboardInUse, "keyboard_in_use",
        [](const Failure&) { return std::string("Another command is sending to the keyboard controller. Try again when it has ended."); },
        [](const Failure&) { return std::string("another command is sending to the keyboard controller"); }},
    {FailureKind::PortIoSettingUnknown, "port_io_setting_unknown",
        [](const Failure&) { return std::string("The keyboard controller is not used: R550_PORT_IO takes ") + kPortIoSettings + ", or is left unset."; },
        [](const Failure&) { return std::string("R550_PORT_IO takes ") + kPortIoSettings + ", or is left unset"; }},
}};
// clang-format on

const Wording& wordingOf(FailureKind kind) {
    const auto found = std::find_if(kWordings.begin(), kWordings.end(),
                                    [kind](const Wording& w) { return w.kind == kind; });
    return found != kWordings.end() ? *found : kWordings.front();
}

} // namespace

std::string describePort(const Failure& failure) {
    if (failure.port > 0 && !failure.device.empty()) {
        return comName(failure.port) + " (" + failure.device + ")";
    }
    return shortPort(failure);
}

std::string describeFailure(const Failure& failure) {
    std::string text = wordingOf(failure.kind).full(failure);
    if (failure.failed() && failure.partlyProgrammed) {
        text += " The reader may now hold part of the new settings: program it again.";
    }
    return text;
}

std::string briefFailure(const Failure& failure) {
    std::string text = wordingOf(failure.kind).brief(failure);
    if (failure.failed() && failure.partlyProgrammed) {
        text += "; the reader may hold part of the new settings";
    }
    return text;
}

std::string failureWord(FailureKind kind) {
    return wordingOf(kind).word;
}

#include "operations/FailureDescription.h"

#include "link/PortIoSelection.h"
#include "settings/CodeText.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

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

std::string seconds(int ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", ms / 1000.0);
    return text;
}

std::string systemText(int error) {
    return error != 0 ? std::string(" (") + std::strerror(error) + ")" : std::string();
}

std::string listed(const std::vector<std::string>& items) {
    std::string all;
    for (const std::string& item : items) {
        all += (all.empty() ? "" : ", ") + item;
    }
    return all;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += i + 1 == items.size() ? " or " : ", ";
        }
        text += items[i];
    }
    return text;
}

} // namespace

std::string describePort(const Failure& failure) {
    if (failure.port > 0 && !failure.device.empty()) {
        return comName(failure.port) + " (" + failure.device + ")";
    }
    return shortPort(failure);
}

std::string describeFailure(const Failure& failure) {
    const std::string reader = "The reader on " + shortPort(failure);
    switch (failure.kind) {
    case FailureKind::None:
        return {};
    case FailureKind::NoPortSelected:
        return "No serial port is selected. Choose the reader's port on the Main Settings page, "
               "or search for the reader again.";
    case FailureKind::NoSuchPort:
        if (failure.tried.empty()) {
            return shortPort(failure) + " has no device. Check that the reader is connected.";
        }
        return shortPort(failure) + " has no device: there is nothing at " + joined(failure.tried) +
               ". Connect the reader, or link " +
               (failure.port > 0 ? "~/.config/r550tool/ports/com" + std::to_string(failure.port)
                                 : std::string("the port")) +
               " to its device.";
    case FailureKind::InUse:
        return describePort(failure) +
               " is in use by another program. Close that program and try again.";
    case FailureKind::NoPermission:
        return "You may not open " +
               (failure.device.empty() ? shortPort(failure) : failure.device) +
               ". Add your user to the " + (failure.group.empty() ? "dialout" : failure.group) +
               " group and log in again.";
    case FailureKind::NotSerial:
        return describePort(failure) + " is not a serial port. Check which device " +
               shortPort(failure) + " stands for.";
    case FailureKind::OpenFailed:
        return describePort(failure) +
               " could not be opened: " + std::strerror(failure.systemError) + ".";
    case FailureKind::Unplugged:
        return reader + " was unplugged.";
    case FailureKind::NoAnswer:
        return reader + " did not answer within " + seconds(failure.waitedMs) +
               ". Check the cable and that the reader is in RS232 mode.";
    case FailureKind::NoReply:
        return reader + " stopped answering before its reply was complete (waited " +
               seconds(failure.waitedMs) + "). Check the cable and try again.";
    case FailureKind::UnexpectedAnswer:
        return reader + " gave an unexpected answer" +
               (failure.received.empty() ? std::string()
                                         : " (" + CodeText::hex(failure.received) + ")") +
               ". Check that the device on " + shortPort(failure) + " is an R550 reader.";
    case FailureKind::WriteStalled:
        return "The command could not be sent to " + shortPort(failure) +
               " in time. Check the cable and try again.";
    case FailureKind::NotRs232:
        return "This command needs a reader on a serial port (RS232 mode).";
    case FailureKind::NoKeyboardAccess:
        return "No access to the keyboard controller. Run the tool as root or give it "
               "CAP_SYS_RAWIO.";
    case FailureKind::KeyboardAccessRefused:
        return "Access to the keyboard controller was refused.";
    case FailureKind::KeyboardHelperLost:
        return "The helper that writes to the keyboard controller stopped before the command "
               "was sent. Try again.";
    case FailureKind::KeyboardInUse:
        return "Another command is sending to the keyboard controller. Try again when it has "
               "ended.";
    case FailureKind::PortIoSettingUnknown:
        return std::string("The keyboard controller is not used: R550_PORT_IO takes ") +
               kPortIoSettings + ", or is left unset.";
    }
    return {};
}

std::string briefFailure(const Failure& failure) {
    switch (failure.kind) {
    case FailureKind::None:
        return "no failure";
    case FailureKind::NoPortSelected:
        return "no serial port is selected";
    case FailureKind::NoSuchPort:
        return failure.tried.empty() ? "no device behind it"
                                     : "no device; looked for " + listed(failure.tried);
    case FailureKind::InUse:
        return "in use by another program";
    case FailureKind::NoPermission:
        return failure.group.empty()
                   ? "permission denied"
                   : "permission denied; the device belongs to the group " + failure.group +
                         " (sudo usermod -aG " + failure.group + " $USER, then log in again)";
    case FailureKind::NotSerial:
        return "not a serial port, or it refuses 9600 8N1" + systemText(failure.systemError);
    case FailureKind::OpenFailed:
        return "cannot be opened" + systemText(failure.systemError);
    case FailureKind::Unplugged:
        return "the device went away (unplugged?)";
    case FailureKind::NoAnswer:
        return "no answer within " + std::to_string(failure.waitedMs) + " ms";
    case FailureKind::NoReply:
        return "the reply did not end within " + std::to_string(failure.waitedMs) + " ms";
    case FailureKind::UnexpectedAnswer:
        return "unexpected answer " + CodeText::hex(failure.received);
    case FailureKind::WriteStalled:
        return "a frame could not be sent within the time limit";
    case FailureKind::NotRs232:
        return "this command works over RS232 only";
    case FailureKind::NoKeyboardAccess:
        return "no access to the keyboard controller (needs root, CAP_SYS_RAWIO or the helper)";
    case FailureKind::KeyboardAccessRefused:
        return "access to the keyboard controller was refused";
    case FailureKind::KeyboardHelperLost:
        return "the helper that writes the keyboard controller stopped";
    case FailureKind::KeyboardInUse:
        return "another command is sending to the keyboard controller";
    case FailureKind::PortIoSettingUnknown:
        return std::string("R550_PORT_IO takes ") + kPortIoSettings + ", or is left unset";
    }
    return "unknown failure";
}

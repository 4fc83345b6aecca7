#include "cli/FailureText.h"

#include "settings/CodeText.h"

#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

std::string joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& text : texts) {
        all += (all.empty() ? "" : ", ") + text;
    }
    return all;
}

// The name of the group that owns path, or its number when it has no name; empty when the path
// cannot be examined.
std::string owningGroup(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return {};
    }
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->gr_name != nullptr) {
        return found->gr_name;
    }
    return std::to_string(info.st_gid);
}

std::string systemText(int error) {
    return error != 0 ? std::string(" (") + std::strerror(error) + ")" : std::string();
}

} // namespace

Failure FailureText::fromSerialError(SerialError error, int systemError, int portNumber,
                                     const std::string& device, std::vector<std::string> tried) {
    Failure failure;
    failure.port = portNumber;
    failure.device = device;
    failure.systemError = systemError;
    switch (error) {
    case SerialError::None:
        break;
    case SerialError::NoSuchPort:
        failure.kind = FailureKind::NoSuchPort;
        failure.tried = std::move(tried);
        break;
    case SerialError::InUse:
        failure.kind = FailureKind::InUse;
        break;
    case SerialError::NoPermission:
        failure.kind = FailureKind::NoPermission;
        failure.group = owningGroup(device);
        break;
    case SerialError::NotSerial:
        failure.kind = FailureKind::NotSerial;
        break;
    case SerialError::DeviceLost:
        failure.kind = FailureKind::Unplugged;
        break;
    case SerialError::Other:
        failure.kind = FailureKind::OpenFailed;
        break;
    }
    return failure;
}

std::string FailureText::describe(const Failure& failure) {
    switch (failure.kind) {
    case FailureKind::None:
        return "no failure";
    case FailureKind::NoPortSelected:
        return "no serial port is selected";
    case FailureKind::NoSuchPort:
        return failure.tried.empty() ? "no device behind it"
                                     : "no device; looked for " + joined(failure.tried);
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
        return "no access to the keyboard controller (needs root or CAP_SYS_RAWIO)";
    case FailureKind::KeyboardAccessRefused:
        return "the authentication for the keyboard controller was refused";
    case FailureKind::KeyboardHelperLost:
        return "the helper that writes the keyboard controller stopped";
    }
    return "unknown failure";
}

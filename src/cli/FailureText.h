#pragma once

#include "link/Failure.h"
#include "link/SerialPort.h"

#include <string>

// Why a device command failed, in words for the command line: what happened and, where there is
// one, what to do about it. One sentence without the port, which the caller puts in front.
class FailureText {
public:
    static std::string describe(const Failure& failure);

    // A link's failed open or lost device as a Failure, for the port and device it concerned.
    // `tried` is filled for a port that has no device.
    static Failure fromSerialError(SerialError error, int systemError, int portNumber,
                                   const std::string& device, std::vector<std::string> tried);
};

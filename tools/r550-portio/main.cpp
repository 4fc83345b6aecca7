// r550-portio: writes the bytes it reads on its standard input to the keyboard controller's
// data port 0x60, for r550tool, which starts it with pkexec. It takes no arguments (any is
// refused with its own exit code, before anything else) and reads no environment; PortioHelper
// says what it does with its input.
#include "PortioHelper.h"
#include "link/HardwarePortIo.h"

#include <cstdio>

int main(int argc, char** /*argv*/) {
    if (argc > 1) {
        std::fputs("r550-portio: takes no arguments; nothing done\n", stderr);
        return PortioHelper::kArguments;
    }
    HardwarePortIo io;
    return PortioHelper::runOnStandardStreams(io, R550_PORTIO_LOCK);
}

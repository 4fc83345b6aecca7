// r550-portio: writes the bytes it reads on its standard input to the keyboard controller's
// data port 0x60, for r550tool, which starts it with pkexec. It takes no arguments and reads no
// environment; PortioHelper says what it does with its input.
#include "PortioHelper.h"
#include "link/HardwarePortIo.h"

int main() {
    HardwarePortIo io;
    return PortioHelper::runOnStandardStreams(io, R550_PORTIO_LOCK);
}

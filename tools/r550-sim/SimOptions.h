#pragma once

#include "SimReader.h"

#include <string>

// The simulator's command line:
//   r550-sim --link PATH [--version TEXT] [--log FILE] [--memory FILE] [--preset FILE]
//            [--silent] [--wrong-ack] [--wrong-length] [--stall-after-echo] [--no-probe-answer]
struct SimOptions {
    std::string link;
    std::string version = "V1.00";
    std::string log;
    std::string memory;
    std::string preset;
    SimFaults faults;
    bool help = false;

    // Fills the options from argv[1..argc-1]. False with a one-line reason in `error` for an
    // unknown switch, a missing value, a missing --link or a version text over 254 bytes.
    bool parse(int argc, const char* const* argv, std::string& error);

    static const char* usage();
};

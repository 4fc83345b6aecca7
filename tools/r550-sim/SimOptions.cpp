#include "SimOptions.h"

#include <string_view>

bool SimOptions::parse(int argc, const char* const* argv, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            help = true;
            return true;
        }

        bool* fault = nullptr;
        if (arg == "--silent") {
            fault = &faults.silent;
        } else if (arg == "--wrong-ack") {
            fault = &faults.wrongAck;
        } else if (arg == "--wrong-length") {
            fault = &faults.wrongLength;
        } else if (arg == "--stall-after-echo") {
            fault = &faults.stallAfterEcho;
        } else if (arg == "--no-probe-answer") {
            fault = &faults.noProbeAnswer;
        }
        if (fault != nullptr) {
            *fault = true;
            continue;
        }

        std::string* value = nullptr;
        if (arg == "--link") {
            value = &link;
        } else if (arg == "--version") {
            value = &version;
        } else if (arg == "--log") {
            value = &log;
        } else if (arg == "--memory") {
            value = &memory;
        } else if (arg == "--preset") {
            value = &preset;
        } else {
            error = "unknown argument " + std::string(arg);
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(arg) + " needs a value";
            return false;
        }
        *value = argv[++i];
    }

    if (link.empty()) {
        error = "--link PATH is required";
        return false;
    }
    if (version.size() > SimReader::kMaxVersionLength) {
        error = "--version TEXT is longer than 254 bytes";
        return false;
    }
    return true;
}

const char* SimOptions::usage() {
    return "usage: r550-sim --link PATH [--version TEXT] [--log FILE] [--memory FILE]\n"
           "                [--preset FILE] [--silent] [--wrong-ack] [--wrong-length]\n"
           "                [--stall-after-echo] [--no-probe-answer]\n"
           "Serves a simulated R550 reader on a pseudo-terminal linked at PATH until SIGTERM "
           "or SIGINT.\n"
           "  --version TEXT      firmware version text (default V1.00, at most 254 bytes)\n"
           "  --log FILE          append each received frame as a line of hex bytes\n"
           "  --memory FILE       keep FILE holding the setting memory (C0 and C1 lines)\n"
           "  --preset FILE       start from the memory in FILE instead of factory values\n"
           "  --silent            answer nothing\n"
           "  --wrong-ack         end acknowledgements with 01 AB\n"
           "  --wrong-length      announce and send one data byte more in block replies\n"
           "  --stall-after-echo  send only the first echo byte of each reply\n"
           "  --no-probe-answer   ignore the serial probe 1B 00\n";
}
